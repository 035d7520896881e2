#pragma once
// The options window's logic: seven numeric editors (a scroll bar and its number label each),
// the key-set options, apply and close, and the pointers of the two buttons.
// The window keeps no variables of its own: until applied, an edited number exists only as
// its label's caption. Handlers read and write the control state below and call out only
// through Settings, the store and the OptionsHost; nothing here knows about Qt.
//
// The platform's event chain is modelled explicitly (the "platform" section below): setting
// a bar's value raises its change event, dragging its thumb raises its scroll event, a new
// label caption raises the label's change event, selecting an option raises its click.
// The Qt layer calls those entry points, never the handlers around them, so the window
// behaves the same under a test as on the screen.

#include "game/Controls.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace keyfall {

// A vertical scroll bar: Min <= Value <= Max. Which end is up is the Qt layer's business;
// here a bar is only its range and value.
struct ScrollBar : Control {
    int Min = 0;
    int Max = 0;
    int Value = 0;
    int SmallChange = 1;
    int LargeChange = 1;
};

// What only the host of the options window can do.
class OptionsHost {
public:
    virtual ~OptionsHost() = default;
    // Closes and destroys the window; the main window's modal call then returns.
    virtual void Unload() = 0;
};

// The seven numeric editors, in the order of the window's data model.
enum class Editor : int { Rounds, EasyLow, EasyHigh, MedLow, MedHigh, HardLow, HardHigh };
inline constexpr int kEditors = 7;
inline constexpr int kOptions = 5;

class FrmOptions {
public:
    FrmOptions(Settings& settings, SettingsStore& store, OptionsHost& host);

    // ---- Handlers ---------------------------------------------------------------------
    void Form_Load();

    // Every bar's change and scroll events do the same; one handler of each kind serves all
    // seven, and the named ones below forward to them.
    void vs_Change(Editor e);
    void vs_Scroll(Editor e);
    void lbl_Change(Editor e);

    void vsRounds_Change() { vs_Change(Editor::Rounds); }
    void vsRounds_Scroll() { vs_Scroll(Editor::Rounds); }
    void vsEasyLow_Change() { vs_Change(Editor::EasyLow); }
    void vsEasyLow_Scroll() { vs_Scroll(Editor::EasyLow); }
    void vsEasyHigh_Change() { vs_Change(Editor::EasyHigh); }
    void vsEasyHigh_Scroll() { vs_Scroll(Editor::EasyHigh); }
    void vsMedLow_Change() { vs_Change(Editor::MedLow); }
    void vsMedLow_Scroll() { vs_Scroll(Editor::MedLow); }
    void vsMedHigh_Change() { vs_Change(Editor::MedHigh); }
    void vsMedHigh_Scroll() { vs_Scroll(Editor::MedHigh); }
    void vsHardLow_Change() { vs_Change(Editor::HardLow); }
    void vsHardLow_Scroll() { vs_Scroll(Editor::HardLow); }
    void vsHardHigh_Change() { vs_Change(Editor::HardHigh); }
    void vsHardHigh_Scroll() { vs_Scroll(Editor::HardHigh); }

    void lblRounds_Change() { lbl_Change(Editor::Rounds); }
    void lblEasyLow_Change() { lbl_Change(Editor::EasyLow); }
    void lblEasyHigh_Change() { lbl_Change(Editor::EasyHigh); }
    void lblMedLow_Change() { lbl_Change(Editor::MedLow); }
    void lblMedHigh_Change() { lbl_Change(Editor::MedHigh); }
    void lblHardLow_Change() { lbl_Change(Editor::HardLow); }
    void lblHardHigh_Change() { lbl_Change(Editor::HardHigh); }

    // 0 <= Index < kOptions.
    void Option1_Click(std::int16_t Index);
    void cmdApply_Click();
    void cmdClose_Click();

    void cmdApply_MouseMove();
    void cmdApply_MouseDown();
    void cmdClose_MouseMove();
    void cmdClose_MouseDown();

    // ---- The platform ------------------------------------------------------------------
    // What the windowing system does when the program or the player touches a control.

    // The program or the player sets a bar's value (arrows, track, keyboard, end of a drag):
    // the value is kept within Min..Max and a change raises the bar's change event.
    void SetBarValue(Editor e, int value);
    // The player drags the thumb to `value`: the bar takes it and raises its scroll event.
    void DragThumb(Editor e, int value);
    // A new caption raises the label's change event; the same caption raises nothing.
    void SetLabelCaption(Editor e, const std::string& caption);
    // Selecting an option deselects the others of its group and raises its click event;
    // selecting the option that is already selected changes nothing.
    void SelectOption(int index);
    // Mouse events reach only an enabled button.
    void MouseMoveOn(Button& button);
    void MousePressOn(Button& button);

    ScrollBar& Bar(Editor e);
    Label& NumberLabel(Editor e);
    Control& NumberBox(Editor e);
    const ScrollBar& Bar(Editor e) const { return const_cast<FrmOptions*>(this)->Bar(e); }
    const Label& NumberLabel(Editor e) const { return const_cast<FrmOptions*>(this)->NumberLabel(e); }
    const Control& NumberBox(Editor e) const { return const_cast<FrmOptions*>(this)->NumberBox(e); }
    // The setting that editor edits.
    std::int16_t& SettingOf(Editor e);
    std::int16_t SettingOf(Editor e) const { return const_cast<FrmOptions*>(this)->SettingOf(e); }

    // ---- The window and its controls (twips) --------------------------------------------
    // Number-box children are relative to their box, everything else to Picture1.
    float Width = 9660;
    float Height = 6450;
    Control Picture1{0, 0, 9660, 6450};

    // Number boxes.
    Control Picture8{1200, 255, 825, 555};
    Control Picture2{2625, 2130, 825, 555};
    Control Picture3{3645, 2130, 825, 555};
    Control Picture4{2625, 2820, 825, 555};
    Control Picture5{3645, 2820, 825, 555};
    Control Picture6{7365, 2820, 825, 555};
    Control Picture7{8385, 2820, 825, 555};

    ScrollBar vsRounds{{540, 0, 255, 510}, 1, 20, 8};
    ScrollBar vsEasyLow{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};
    ScrollBar vsEasyHigh{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};
    ScrollBar vsMedLow{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};
    ScrollBar vsMedHigh{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};
    ScrollBar vsHardLow{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};
    ScrollBar vsHardHigh{{525, 0, 255, 510}, kLowestSpeed, kHighestSpeed, 8};

    Label lblRounds{{30, 75, 525, 390}, "8"};
    Label lblEasyLow{{0, 90, 525, 375}, "8"};
    Label lblEasyHigh{{0, 90, 615, 375}, "8"};
    Label lblMedLow{{0, 90, 615, 375}, "8"};
    Label lblMedHigh{{0, 90, 615, 375}, "8"};
    Label lblHardLow{{15, 90, 615, 375}, "8"};
    Label lblHardHigh{{0, 75, 615, 375}, "8"};

    Button cmdApply{{5880, 5580, 1770, 720, true, false}, "APPLICA LE OPZIONI"};
    Button cmdClose{{7740, 5580, 1770, 720}, "TORNA AL GIOCO"};

    std::array<OptionButton, kOptions> Option1{{
        {{315, 4230, 2955, 345}, "solo maiuscole", false},
        {{4695, 4230, 2955, 330}, "solo minuscole", false},
        {{315, 4590, 2955, 345}, "solo numeri", false},
        {{315, 4950, 3900, 330}, "maiuscole e minuscole", false},
        {{4695, 4590, 4935, 330}, "maiuscole, minuscole e numeri", false},
    }};

    Label Label7{{315, 5640, 5460, 570}, "OPZIONI AVANZATE"};
    Label Label1{{315, 255, 675, 345}, "GIRI"};
    Label Label2{{2325, 255, 7260, 660}, "Specifica il numero dei giri (cioè delle \"mani\") in una singola partita "};
    Label Label3{{960, 1350, 7845, 345}, "VELOCITA' DI CADUTA DELLE LETTERE E DEI NUMERI"};
    Label Label4{{3495, 3720, 2745, 345}, "SCELTA DEI TASTI"};
    Label Label5{{2760, 1710, 585, 345}, "MIN"};
    Label Label6{{3705, 1710, 645, 345}, "MAX"};
    Label Label8{{315, 2325, 1740, 345}, "livello facile"};
    Label Label11{{315, 2985, 1860, 345}, "livello medio"};
    Label Label14{{5055, 3000, 2040, 345}, "livello difficile"};
    Label Label10{{5055, 1800, 4560, 870},
                  "Per ogni livello di gioco, specifica la velocità minima e massima di caduta "
                  "delle lettere o dei tasti."};

    // Horizontal separators, 3 pixels thick, from (X1, Y) to (X2, Y).
    struct Line {
        float X1, Y1, X2, Y2;
    };
    Line Line2{0, 1170, 9660, 1170};
    Line Line1{30, 3570, 9690, 3570};
    Line Line4{15, 5475, 9675, 5475};

private:
    Settings& m_settings;
    SettingsStore& m_store;
    OptionsHost& m_host;
};

} // namespace keyfall
