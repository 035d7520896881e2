#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace keyfall {
namespace {

using test::Game;
using test::RecordingOptionsHost;
using KeySet = std::array<bool, 5>;

constexpr std::array kAllEditors{Editor::Rounds,  Editor::EasyLow, Editor::EasyHigh, Editor::MedLow,
                                 Editor::MedHigh, Editor::HardLow, Editor::HardHigh};

// The options window over the shared settings, as the main window opens it: the settings
// are loaded from the store first (the main window's Form_Load does that).
struct Options {
    Options() { LoadSettings(settings, store); }

    void Store(const std::string& section, const std::string& name, const std::string& text)
    {
        store.Set(section, name, text);
        store.Sync();
        LoadSettings(settings, store);
    }
    void StoreKeySet(int index)
    {
        static constexpr std::array<const char*, 5> kNames{"Maiu", "Minu", "MaiuMinu", "Nume", "MaiuMinuNume"};
        for (int i = 0; i < 5; ++i)
            store.Set("Selezione", kNames[static_cast<std::size_t>(i)], i == index ? "True" : "False");
        store.Sync();
        LoadSettings(settings, store);
    }
    std::string Stored(const std::string& section, const std::string& name) const
    {
        const auto it = store.Stored().find({section, name});
        return it == store.Stored().end() ? "<absent>" : it->second;
    }
    int SelectedOption() const
    {
        int selected = -1;
        for (int i = 0; i < kOptions; ++i) {
            if (form.Option1[static_cast<std::size_t>(i)].Value) {
                EXPECT_EQ(selected, -1) << "two options selected";
                selected = i;
            }
        }
        return selected;
    }

    Settings settings;
    MemoryStore store;
    RecordingOptionsHost host;
    FrmOptions form{settings, store, host};
};

// ---- Design state and opening ---------------------------------------------------------------

TEST(OptionsWindow, DesignStateBeforeOpening)
{
    Options o;
    for (Editor e : kAllEditors) {
        EXPECT_EQ(o.form.NumberLabel(e).Caption, "8");
        EXPECT_EQ(o.form.Bar(e).Value, 8);
        EXPECT_EQ(o.form.Bar(e).Min, 1);
        EXPECT_EQ(o.form.Bar(e).SmallChange, 1);
        EXPECT_EQ(o.form.Bar(e).LargeChange, 1);
    }
    EXPECT_EQ(o.form.vsRounds.Max, 20);
    EXPECT_EQ(o.form.vsEasyLow.Max, 500);
    EXPECT_EQ(o.form.vsHardHigh.Max, 500);
    EXPECT_FALSE(o.form.cmdApply.Enabled);
    EXPECT_TRUE(o.form.cmdClose.Enabled);
    EXPECT_EQ(o.SelectedOption(), -1);
}

TEST(OptionsWindow, OpeningShowsTheSettingsWithApplyDisabled)
{
    Options o;
    o.form.Form_Load();
    const std::map<Editor, std::string> expected{
        {Editor::Rounds, "8"},   {Editor::EasyLow, "5"},  {Editor::EasyHigh, "10"}, {Editor::MedLow, "15"},
        {Editor::MedHigh, "30"}, {Editor::HardLow, "35"}, {Editor::HardHigh, "50"}};
    for (const auto& [e, text] : expected) {
        EXPECT_EQ(o.form.NumberLabel(e).Caption, text);
        EXPECT_EQ(std::to_string(o.form.Bar(e).Value), text);
    }
    EXPECT_EQ(o.SelectedOption(), 0);
    EXPECT_FALSE(o.form.cmdApply.Enabled);
    EXPECT_EQ(o.store.Writes(), 0);
    EXPECT_EQ(o.host.unloads, 0);
}

// ---- Bars, labels and the apply button ------------------------------------------------------

TEST(OptionsWindow, ApplyIsEnabledByTheFirstChangeAndStaysSoWhenMovedBack)
{
    Options o;
    o.form.Form_Load();
    ASSERT_FALSE(o.form.cmdApply.Enabled);
    o.form.SetBarValue(Editor::EasyLow, 6);
    EXPECT_TRUE(o.form.cmdApply.Enabled);
    o.form.SetBarValue(Editor::EasyLow, 5);
    EXPECT_TRUE(o.form.cmdApply.Enabled);
}

TEST(OptionsWindow, SettingABarToItsOwnValueChangesNothing)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::MedHigh, 30);
    EXPECT_FALSE(o.form.cmdApply.Enabled);
}

TEST(OptionsWindow, AnOptionChoiceEnablesApplyAndSetsTheKeySetAtOnce)
{
    Options o;
    o.form.Form_Load();
    o.form.SelectOption(1);
    EXPECT_TRUE(o.form.cmdApply.Enabled);
    EXPECT_EQ(o.settings.KeySet, (KeySet{false, true, false, false, false}));
    EXPECT_EQ(o.SelectedOption(), 1);
    EXPECT_EQ(o.store.Writes(), 0);
}

TEST(OptionsWindow, ApplyDisablesItselfAndLeavesTheWindowOpen)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::HardHigh, 60);
    o.form.cmdApply_Click();
    EXPECT_FALSE(o.form.cmdApply.Enabled);
    EXPECT_EQ(o.host.unloads, 0);
    EXPECT_EQ(o.settings.HardHigh, 60);
    o.form.SetBarValue(Editor::HardHigh, 61);
    EXPECT_TRUE(o.form.cmdApply.Enabled);
}

TEST(OptionsWindow, BothBarEventsSetOnlyTheirOwnLabel)
{
    Options o;
    o.form.Form_Load();
    o.form.DragThumb(Editor::EasyHigh, 123); // a scroll event, mid-drag
    EXPECT_EQ(o.form.lblEasyHigh.Caption, "123");
    EXPECT_TRUE(o.form.cmdApply.Enabled);
    o.form.SetBarValue(Editor::MedLow, 77); // a change event
    EXPECT_EQ(o.form.lblMedLow.Caption, "77");
    EXPECT_EQ(o.form.lblEasyLow.Caption, "5");
    EXPECT_EQ(o.form.vsEasyLow.Value, 5);
    EXPECT_EQ(o.form.lblMedHigh.Caption, "30");
}

TEST(OptionsWindow, BarsStopAtTheirEnds)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::Rounds, 21);
    EXPECT_EQ(o.form.vsRounds.Value, 20);
    o.form.SetBarValue(Editor::Rounds, 0);
    EXPECT_EQ(o.form.vsRounds.Value, 1);
    o.form.SetBarValue(Editor::HardLow, 501);
    EXPECT_EQ(o.form.lblHardLow.Caption, "500");
}

TEST(OptionsWindow, NamedHandlersSetTheirLabelFromTheirBar)
{
    Options o;
    o.form.Form_Load();
    o.form.vsRounds.Value = 3;
    o.form.vsRounds_Change();
    EXPECT_EQ(o.form.lblRounds.Caption, "3");
    o.form.vsHardHigh.Value = 444;
    o.form.vsHardHigh_Scroll();
    EXPECT_EQ(o.form.lblHardHigh.Caption, "444");
    o.form.cmdApply.Enabled = false;
    o.form.lblMedLow_Change();
    EXPECT_TRUE(o.form.cmdApply.Enabled);
}

TEST(OptionsWindow, TwelveRoundsAppliedShowTwelveAtTheNextOpening)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::Rounds, 12);
    EXPECT_EQ(o.form.lblRounds.Caption, "12");
    o.form.cmdApply_Click();
    EXPECT_EQ(o.settings.MaxRounds, 12);
    EXPECT_EQ(o.Stored("Rounds", "Max"), "12");
    o.form.cmdClose_Click();
    EXPECT_EQ(o.host.unloads, 1);

    // A later run: the settings come from the store, the window is created afresh.
    Settings later;
    LoadSettings(later, o.store);
    RecordingOptionsHost host;
    FrmOptions again(later, o.store, host);
    again.Form_Load();
    EXPECT_EQ(again.lblRounds.Caption, "12");
    EXPECT_EQ(again.vsRounds.Value, 12);
    EXPECT_FALSE(again.cmdApply.Enabled);
    again.SetBarValue(Editor::Rounds, again.vsRounds.Value + again.vsRounds.SmallChange);
    EXPECT_EQ(again.lblRounds.Caption, "13");
}

TEST(OptionsWindow, LowAboveHighIsStoredAsIs)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::EasyLow, 50);
    o.form.SetBarValue(Editor::EasyHigh, 10);
    o.form.cmdApply_Click();
    EXPECT_EQ(o.settings.EasyLow, 50);
    EXPECT_EQ(o.settings.EasyHigh, 10);
    EXPECT_EQ(o.Stored("FallRates", "EasyLow"), "50");
    EXPECT_EQ(o.Stored("FallRates", "EasyHigh"), "10");
}

TEST(OptionsWindow, ApplyStoresAllTwelveUnderTheirSectionsAndNames)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::EasyLow, 11);
    o.form.SetBarValue(Editor::EasyHigh, 22);
    o.form.SetBarValue(Editor::MedLow, 33);
    o.form.SetBarValue(Editor::MedHigh, 44);
    o.form.SetBarValue(Editor::HardLow, 55);
    o.form.SetBarValue(Editor::HardHigh, 66);
    o.form.SetBarValue(Editor::Rounds, 7);
    o.form.SelectOption(2); // digits only: stored under "MaiuMinu"
    o.form.cmdApply_Click();
    const std::map<MemoryStore::Key, std::string> expected{
        {{"FallRates", "EasyLow"}, "11"}, {{"FallRates", "EasyHigh"}, "22"},
        {{"FallRates", "MedLow"}, "33"},  {{"FallRates", "MedHigh"}, "44"},
        {{"FallRates", "HardLow"}, "55"}, {{"FallRates", "HardHigh"}, "66"},
        {{"Rounds", "Max"}, "7"},         {{"Selezione", "Maiu"}, "False"},
        {{"Selezione", "Minu"}, "False"}, {{"Selezione", "MaiuMinu"}, "True"},
        {{"Selezione", "Nume"}, "False"}, {{"Selezione", "MaiuMinuNume"}, "False"},
    };
    EXPECT_EQ(o.store.Stored(), expected);

    // Upper and lower case is element 3, stored under "Nume".
    o.form.SelectOption(3);
    o.form.cmdApply_Click();
    EXPECT_EQ(o.Stored("Selezione", "MaiuMinu"), "False");
    EXPECT_EQ(o.Stored("Selezione", "Nume"), "True");
}

TEST(OptionsWindow, ApplyStraightAfterTheFirstChangeStoresTheKeySetAsOpened)
{
    Options o;
    o.StoreKeySet(KeyAll);
    o.form.Form_Load();
    o.form.SetBarValue(Editor::MedLow, 16);
    o.form.cmdApply_Click();
    EXPECT_EQ(o.Stored("Selezione", "MaiuMinuNume"), "True");
    EXPECT_EQ(o.Stored("Selezione", "Maiu"), "False");
}

// ---- The key set in use ---------------------------------------------------------------------

// Opening selects the key set in use rather than always "solo maiuscole", so that an apply
// that only moves a bar keeps the player's key set.
TEST(OptionsKeySetInUse, StoredUpperAndLowerCaseStaysSelectedAndStored)
{
    Options o;
    o.StoreKeySet(KeyLetters); // "Nume" = "True"
    ASSERT_EQ(o.Stored("Selezione", "Nume"), "True");
    o.form.Form_Load();
    EXPECT_EQ(o.SelectedOption(), 3);
    EXPECT_EQ(o.form.Option1[3].Caption, "maiuscole e minuscole");
    EXPECT_EQ(o.settings.KeySet, (KeySet{false, false, false, true, false}));
    EXPECT_FALSE(o.form.cmdApply.Enabled);

    o.form.SetBarValue(Editor::Rounds, 9);
    o.form.cmdApply_Click();
    EXPECT_EQ(o.Stored("Selezione", "Nume"), "True");
    EXPECT_EQ(o.Stored("Selezione", "Maiu"), "False");
    EXPECT_EQ(o.Stored("Rounds", "Max"), "9");
}

TEST(OptionsKeySetInUse, EachStoredKeySetOpensWithItsOption)
{
    for (int k = 0; k < kOptions; ++k) {
        Options o;
        o.StoreKeySet(k);
        o.form.Form_Load();
        EXPECT_EQ(o.SelectedOption(), k);
        KeySet only{};
        only[static_cast<std::size_t>(k)] = true;
        EXPECT_EQ(o.settings.KeySet, only);
    }
}

TEST(OptionsKeySetInUse, NoTrueElementSelectsUpperCaseOnly)
{
    Options o;
    o.StoreKeySet(-1);
    ASSERT_EQ(o.settings.KeySet, KeySet{});
    o.form.Form_Load();
    EXPECT_EQ(o.SelectedOption(), 0);
    EXPECT_EQ(o.form.Option1[0].Caption, "solo maiuscole");
    EXPECT_EQ(o.settings.KeySet, (KeySet{true, false, false, false, false}));
}

TEST(OptionsKeySetInUse, SeveralTrueElementsSelectTheFirstAsTheLettersDo)
{
    Options o;
    o.Store("Selezione", "Maiu", "False");
    o.Store("Selezione", "MaiuMinu", "True");
    o.Store("Selezione", "MaiuMinuNume", "True");
    o.form.Form_Load();
    EXPECT_EQ(o.SelectedOption(), 2);
    EXPECT_EQ(o.settings.KeySet, (KeySet{false, false, true, false, false}));
}

// ---- Values outside a bar's range ------------------------------------------------------------

TEST(OptionsOutOfRange, ShownClampedAndStoredClampedOnlyOnApply)
{
    Options o;
    o.Store("Rounds", "Max", "25");
    o.Store("FallRates", "EasyLow", "0");
    o.Store("FallRates", "MedLow", "-3");
    o.Store("FallRates", "HardHigh", "900");
    const int writes = o.store.Writes();
    o.form.Form_Load();
    EXPECT_EQ(o.form.lblRounds.Caption, "20");
    EXPECT_EQ(o.form.vsRounds.Value, 20);
    EXPECT_EQ(o.form.lblEasyLow.Caption, "1");
    EXPECT_EQ(o.form.vsEasyLow.Value, 1);
    EXPECT_EQ(o.form.lblMedLow.Caption, "1");
    EXPECT_EQ(o.form.lblHardHigh.Caption, "500");
    EXPECT_EQ(o.form.vsHardHigh.Value, 500);
    EXPECT_FALSE(o.form.cmdApply.Enabled);
    // Opening alone changes neither the settings nor the store.
    EXPECT_EQ(o.settings.MaxRounds, 25);
    EXPECT_EQ(o.settings.EasyLow, 0);
    EXPECT_EQ(o.settings.MedLow, -3);
    EXPECT_EQ(o.settings.HardHigh, 900);
    EXPECT_EQ(o.store.Writes(), writes);
    o.form.cmdClose_Click();
    EXPECT_EQ(o.Stored("Rounds", "Max"), "25");

    Options again;
    again.Store("Rounds", "Max", "25");
    again.Store("FallRates", "HardHigh", "900");
    again.form.Form_Load();
    again.form.SetBarValue(Editor::EasyHigh, 12);
    again.form.cmdApply_Click();
    EXPECT_EQ(again.settings.MaxRounds, 20);
    EXPECT_EQ(again.Stored("Rounds", "Max"), "20");
    EXPECT_EQ(again.Stored("FallRates", "HardHigh"), "500");
}

// ---- Close ---------------------------------------------------------------------------------

TEST(OptionsWindow, CloseDiscardsUnappliedNumbersButKeepsTheKeySetChoice)
{
    Options o;
    o.form.Form_Load();
    o.form.SetBarValue(Editor::MedHigh, 99);
    o.form.SelectOption(4);
    o.form.cmdClose_Click();
    EXPECT_EQ(o.host.unloads, 1);
    EXPECT_EQ(o.settings.MedHigh, 30);
    EXPECT_EQ(o.settings.KeySet, (KeySet{false, false, false, false, true}));
    EXPECT_EQ(o.store.Writes(), 0);
}

// ---- Pointers -------------------------------------------------------------------

TEST(OptionsPointers, DefaultUntilTheFirstMoveThenOpenAndClosedHands)
{
    Options o;
    o.form.Form_Load();
    EXPECT_EQ(o.form.cmdClose.MouseIcon, NoPicture);
    EXPECT_EQ(o.form.cmdApply.MouseIcon, NoPicture);
    o.form.MouseMoveOn(o.form.cmdClose);
    EXPECT_EQ(o.form.cmdClose.MouseIcon, OpenHandCursor);
    o.form.MousePressOn(o.form.cmdClose);
    EXPECT_EQ(o.form.cmdClose.MouseIcon, ClosedHandCursor);
    o.form.MouseMoveOn(o.form.cmdClose); // moving with the button held
    EXPECT_EQ(o.form.cmdClose.MouseIcon, OpenHandCursor);
    EXPECT_EQ(o.form.cmdApply.MouseIcon, NoPicture);
}

TEST(OptionsPointers, DisabledApplyGetsNoMouseEvents)
{
    Options o;
    o.form.Form_Load();
    o.form.MouseMoveOn(o.form.cmdApply);
    o.form.MousePressOn(o.form.cmdApply);
    EXPECT_EQ(o.form.cmdApply.MouseIcon, NoPicture);
    o.form.SetBarValue(Editor::Rounds, 9);
    o.form.MouseMoveOn(o.form.cmdApply);
    EXPECT_EQ(o.form.cmdApply.MouseIcon, OpenHandCursor);
    o.form.MousePressOn(o.form.cmdApply);
    EXPECT_EQ(o.form.cmdApply.MouseIcon, ClosedHandCursor);
    o.form.cmdApply_Click();
    o.form.MouseMoveOn(o.form.cmdApply); // disabled again: the closed hand stays
    EXPECT_EQ(o.form.cmdApply.MouseIcon, ClosedHandCursor);
}

TEST(OptionsPointers, NamedHandlersAssignTheirCursors)
{
    Options o;
    o.form.cmdApply_MouseMove();
    EXPECT_EQ(o.form.cmdApply.MouseIcon, OpenHandCursor);
    o.form.cmdApply_MouseDown();
    EXPECT_EQ(o.form.cmdApply.MouseIcon, ClosedHandCursor);
    o.form.cmdClose_MouseDown();
    EXPECT_EQ(o.form.cmdClose.MouseIcon, ClosedHandCursor);
    o.form.cmdClose_MouseMove();
    EXPECT_EQ(o.form.cmdClose.MouseIcon, OpenHandCursor);
}

TEST(MainPointers, DefaultUntilTheFirstMoveThenOpenAndClosedHands)
{
    Game game;
    game.Load();
    const std::array<std::tuple<Button*, void (FrmMain::*)(), void (FrmMain::*)()>, 3> buttons{{
        {&game.form.cmdAdvanced, &FrmMain::cmdAdvanced_MouseMove, &FrmMain::cmdAdvanced_MouseDown},
        {&game.form.cmdStart, &FrmMain::cmdStart_MouseMove, &FrmMain::cmdStart_MouseDown},
        {&game.form.cmdExit, &FrmMain::cmdExit_MouseMove, &FrmMain::cmdExit_MouseDown},
    }};
    for (const auto& [button, move, down] : buttons) {
        EXPECT_EQ(button->MouseIcon, NoPicture) << button->Caption;
        (game.form.*move)();
        EXPECT_EQ(button->MouseIcon, OpenHandCursor) << button->Caption;
        (game.form.*down)();
        EXPECT_EQ(button->MouseIcon, ClosedHandCursor) << button->Caption;
        (game.form.*move)();
        EXPECT_EQ(button->MouseIcon, OpenHandCursor) << button->Caption;
    }
    // Each button has its own pointer.
    game.form.cmdExit_MouseDown();
    EXPECT_EQ(game.form.cmdStart.MouseIcon, OpenHandCursor);
}

// ---- Over a running game ---------------------------------------------------------------------

float LowestLetterTop(const FrmMain& form)
{
    float top = -1;
    for (const auto& l : form.lblLetter)
        top = l.Visible ? std::max(top, l.Top) : top;
    return top;
}

// Plays on, typing every wave away, until the game ends or `limitMs` have passed.
void PlayToTheEnd(Game& game, std::int64_t limitMs = std::int64_t{10} * 60 * 1000)
{
    const std::int64_t end = game.clock.Now() + limitMs;
    while (game.form.GameRunning && game.clock.Now() < end) {
        game.clock.Advance(100);
        if (game.form.WaveInPlay())
            game.TypeAllFalling();
    }
}

TEST(OptionsOverAGame, TheWaveKeepsFallingWhileTheWindowIsOpen)
{
    Game game;
    game.Load();
    game.form.cmdStart_Click();
    game.clock.Advance(300);
    float before = 0;
    float after = 0;
    bool panelHidden = false;
    game.OnOptionsOpen([&](FrmOptions&) {
        panelHidden = !game.form.Picture1.Visible;
        before = LowestLetterTop(game.form);
        game.clock.Advance(1000);
        after = LowestLetterTop(game.form);
    });
    game.form.cmdAdvanced_Click();
    EXPECT_TRUE(panelHidden);
    EXPECT_GE(before, 0);
    EXPECT_GT(after, before);
    EXPECT_TRUE(game.form.timerLetters.Running());
    EXPECT_TRUE(game.form.GameRunning);
    game.form.Form_Activate();
    EXPECT_TRUE(game.form.Picture1.Visible);
}

TEST(OptionsOverAGame, TheTallyAndThePauseGoOnAndTheNextWaveStarts)
{
    Game game;
    game.Load();
    game.form.cmdStart_Click();
    game.clock.Advance(300);
    game.TypeAllFalling();
    ASSERT_TRUE(game.form.timerScore.Running());
    bool nextWaveWhileOpen = false;
    game.OnOptionsOpen([&](FrmOptions&) {
        nextWaveWhileOpen = game.clock.AdvanceUntil([&] { return game.form.WavesLaunched() == 2; }, 20000);
    });
    game.form.cmdAdvanced_Click();
    EXPECT_TRUE(nextWaveWhileOpen);
    EXPECT_EQ(game.form.RoundNumber, 2);
}

TEST(OptionsOverAGame, FewerRoundsAppliedMidGameEndItAtTheNextRoundEnd)
{
    Game game;
    game.Load(); // eight rounds
    game.form.cmdStart_Click();
    game.clock.AdvanceUntil([&] { return game.form.WaveInPlay(); }, 1000);
    game.TypeAllFalling();
    game.clock.AdvanceUntil([&] { return game.form.WavesLaunched() == 2; }, 20000);
    game.OnOptionsOpen([&](FrmOptions& options) {
        options.SetBarValue(Editor::Rounds, 2);
        options.cmdApply_Click();
    });
    game.form.cmdAdvanced_Click();
    EXPECT_EQ(game.settings.MaxRounds, 2);
    PlayToTheEnd(game);
    EXPECT_FALSE(game.form.GameRunning);
    EXPECT_EQ(game.form.WavesLaunched(), 2);
    EXPECT_EQ(game.form.lblMessage.Caption, "La partita è finita");
}

TEST(OptionsOverAGame, AKeySetChosenMidGameFallsFromTheNextWave)
{
    Game game;
    game.Load();
    game.form.cmdStart_Click();
    game.clock.AdvanceUntil([&] { return game.form.WaveInPlay(); }, 1000);
    game.OnOptionsOpen([&](FrmOptions& options) { options.SelectOption(KeyDigits); });
    game.form.cmdAdvanced_Click();
    game.TypeAllFalling();
    game.clock.AdvanceUntil([&] { return game.form.WavesLaunched() == 2; }, 20000);
    ASSERT_GT(game.VisibleLetters(), 0);
    for (const auto& l : game.form.lblLetter) {
        if (l.Visible) {
            EXPECT_TRUE(l.Caption.size() == 1 && l.Caption[0] >= '0' && l.Caption[0] <= '9') << l.Caption;
        }
    }
    // Not applied: the next game brings the stored key set back.
    game.form.cmdStart_Click(); // "DA CAPO" stops this game
    ASSERT_FALSE(game.form.GameRunning);
    game.form.cmdStart_Click(); // "VIA" reloads the settings
    EXPECT_EQ(game.settings.KeySet, (KeySet{true, false, false, false, false}));
}

} // namespace
} // namespace keyfall
