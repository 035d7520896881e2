#include "options/FrmOptions.h"

#include <algorithm>

namespace keyfall {

FrmOptions::FrmOptions(Settings& settings, SettingsStore& store, OptionsHost& host)
    : m_settings(settings), m_store(store), m_host(host)
{
}

ScrollBar& FrmOptions::Bar(Editor e)
{
    switch (e) {
    case Editor::Rounds: return vsRounds;
    case Editor::EasyLow: return vsEasyLow;
    case Editor::EasyHigh: return vsEasyHigh;
    case Editor::MedLow: return vsMedLow;
    case Editor::MedHigh: return vsMedHigh;
    case Editor::HardLow: return vsHardLow;
    case Editor::HardHigh: return vsHardHigh;
    }
    return vsRounds;
}

Label& FrmOptions::NumberLabel(Editor e)
{
    switch (e) {
    case Editor::Rounds: return lblRounds;
    case Editor::EasyLow: return lblEasyLow;
    case Editor::EasyHigh: return lblEasyHigh;
    case Editor::MedLow: return lblMedLow;
    case Editor::MedHigh: return lblMedHigh;
    case Editor::HardLow: return lblHardLow;
    case Editor::HardHigh: return lblHardHigh;
    }
    return lblRounds;
}

Control& FrmOptions::NumberBox(Editor e)
{
    switch (e) {
    case Editor::Rounds: return Picture8;
    case Editor::EasyLow: return Picture2;
    case Editor::EasyHigh: return Picture3;
    case Editor::MedLow: return Picture4;
    case Editor::MedHigh: return Picture5;
    case Editor::HardLow: return Picture6;
    case Editor::HardHigh: return Picture7;
    }
    return Picture8;
}

std::int16_t& FrmOptions::SettingOf(Editor e)
{
    switch (e) {
    case Editor::Rounds: return m_settings.MaxRounds;
    case Editor::EasyLow: return m_settings.EasyLow;
    case Editor::EasyHigh: return m_settings.EasyHigh;
    case Editor::MedLow: return m_settings.MedLow;
    case Editor::MedHigh: return m_settings.MedHigh;
    case Editor::HardLow: return m_settings.HardLow;
    case Editor::HardHigh: return m_settings.HardHigh;
    }
    return m_settings.MaxRounds;
}

// ---- Handlers -------------------------------------------------------------------------

void FrmOptions::Form_Load()
{
    // A stored value outside its bar's range can only come from a hand-edited store. The
    // window shows it clamped to the range, label and bar alike; the setting itself keeps
    // the stored value until an apply stores what the window shows.
    const auto fill = [this](Editor e) {
        const ScrollBar& bar = Bar(e);
        const int shown = std::clamp<int>(SettingOf(e), bar.Min, bar.Max);
        SetLabelCaption(e, std::to_string(shown));
        SetBarValue(e, shown);
    };
    fill(Editor::Rounds);
    for (Editor e :
         {Editor::EasyHigh, Editor::EasyLow, Editor::HardHigh, Editor::HardLow, Editor::MedLow, Editor::MedHigh})
        fill(e);

    // The window selects the key set the game is using (the first true element, as the
    // letters choose it), not always "solo maiuscole". Otherwise merely opening the window
    // would switch the game to capitals, and an apply after any other change would overwrite
    // the player's stored key set.
    const auto& keys = m_settings.KeySet;
    const auto first = std::find(keys.begin(), keys.end(), true);
    SelectOption(first == keys.end() ? 0 : static_cast<int>(first - keys.begin()));

    cmdApply.Enabled = false;
}

void FrmOptions::vs_Change(Editor e)
{
    SetLabelCaption(e, std::to_string(Bar(e).Value));
}

void FrmOptions::vs_Scroll(Editor e)
{
    SetLabelCaption(e, std::to_string(Bar(e).Value));
}

void FrmOptions::lbl_Change(Editor)
{
    cmdApply.Enabled = true;
}

void FrmOptions::Option1_Click(std::int16_t Index)
{
    cmdApply.Enabled = true;
    m_settings.KeySet.fill(false);
    m_settings.KeySet.at(static_cast<std::size_t>(Index)) = true;
}

void FrmOptions::cmdApply_Click()
{
    for (Editor e : {Editor::EasyLow, Editor::EasyHigh, Editor::MedLow, Editor::MedHigh, Editor::HardLow,
                     Editor::HardHigh, Editor::Rounds}) {
        // The labels are written only from the bars, so they always hold whole numbers.
        if (const auto value = ParseNumber(NumberLabel(e).Caption))
            SettingOf(e) = *value;
    }
    // A store that cannot be written has already said so on standard error; the window
    // carries on as after a successful save, as the program has no messages of its own.
    SaveSettings(m_settings, m_store);
    cmdApply.Enabled = false;
}

void FrmOptions::cmdClose_Click()
{
    m_host.Unload();
}

void FrmOptions::cmdApply_MouseMove()
{
    cmdApply.MouseIcon = OpenHandCursor;
}
void FrmOptions::cmdApply_MouseDown()
{
    cmdApply.MouseIcon = ClosedHandCursor;
}
void FrmOptions::cmdClose_MouseMove()
{
    cmdClose.MouseIcon = OpenHandCursor;
}
void FrmOptions::cmdClose_MouseDown()
{
    cmdClose.MouseIcon = ClosedHandCursor;
}

// ---- The platform ---------------------------------------------------------------------

void FrmOptions::SetBarValue(Editor e, int value)
{
    ScrollBar& bar = Bar(e);
    value = std::clamp(value, bar.Min, bar.Max);
    if (value == bar.Value)
        return;
    bar.Value = value;
    vs_Change(e);
}

void FrmOptions::DragThumb(Editor e, int value)
{
    ScrollBar& bar = Bar(e);
    bar.Value = std::clamp(value, bar.Min, bar.Max);
    vs_Scroll(e);
}

void FrmOptions::SetLabelCaption(Editor e, const std::string& caption)
{
    Label& label = NumberLabel(e);
    if (label.Caption == caption)
        return;
    label.Caption = caption;
    lbl_Change(e);
}

void FrmOptions::SelectOption(int index)
{
    OptionButton& chosen = Option1.at(static_cast<std::size_t>(index));
    if (chosen.Value)
        return;
    for (auto& option : Option1)
        option.Value = false;
    chosen.Value = true;
    Option1_Click(static_cast<std::int16_t>(index));
}

void FrmOptions::MouseMoveOn(Button& button)
{
    if (!button.Enabled)
        return;
    if (&button == &cmdApply)
        cmdApply_MouseMove();
    else if (&button == &cmdClose)
        cmdClose_MouseMove();
}

void FrmOptions::MousePressOn(Button& button)
{
    if (!button.Enabled)
        return;
    if (&button == &cmdApply)
        cmdApply_MouseDown();
    else if (&button == &cmdClose)
        cmdClose_MouseDown();
}

} // namespace keyfall
