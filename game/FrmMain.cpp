#include "game/FrmMain.h"

#include "settings/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>

namespace keyfall {
namespace {

constexpr std::array<float, kSlots> kStarLeft{420,  855,  1290, 1845, 2325, 2820, 3300, 3765, 4245,
                                              4695, 5205, 5685, 6165, 6645, 7125, 7605, 8085, 8565};

std::int16_t Saturate(int value)
{
    return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

struct CharClass {
    std::int16_t first;
    std::int16_t last;
};
constexpr CharClass kUpper{65, 90};
constexpr CharClass kLower{97, 122};
constexpr CharClass kDigit{48, 57};

int FirstKeySet(const std::array<bool, 5>& keys)
{
    const auto first = std::find(keys.begin(), keys.end(), true);
    return first == keys.end() ? kNoKeySet : static_cast<int>(first - keys.begin());
}

} // namespace

std::string_view CueFileName(Cue cue)
{
    switch (cue) {
    case Cue::Explode: return "Explode.wav";
    case Cue::LaserFire: return "LaserFire.wav";
    case Cue::Miss: return "Miss.wav";
    case Cue::Blip: return "blip.wav";
    case Cue::Sound24: return "sound24.wav";
    case Cue::Sound25: return "sound25.wav";
    }
    return {};
}

std::string FormatScore(std::int16_t value, const std::string& separator)
{
    if (value == 0)
        return {};
    const std::string digits = std::to_string(std::abs(static_cast<int>(value)));
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text;
}

std::string CharacterText(char32_t code)
{
    std::string text;
    AppendUtf8(text, code);
    return text;
}

FrmMain::FrmMain(Settings& settings, SettingsStore& store, Random& random, CuePlayer& cues, Host& host)
    : m_settings(settings), m_store(store), m_random(random), m_cues(cues), m_host(host)
{
    for (int i = 0; i < kSlots; ++i) {
        const auto column = static_cast<float>(i);
        lblLetter[i] = Label{{450.0f + 480.0f * column, 0, 405, 570}, "A"};
        Explode[i] = Image{{i == 1 ? 900.0f : 405.0f + 480.0f * column, 600, 480, 480}, NoPicture};
        Star[i] = Image{{kStarLeft[i], 1080, 495, 495}, NoPicture};
        Score[i] = Label{{510.0f + 480.0f * column, 1680, 285, 285}, "20"};
    }
}

// ---- Start-up -------------------------------------------------------------------------

void FrmMain::Form_Load()
{
    const ScreenTwips screen = m_host.ScreenSize();
    Width = screen.Width;
    Height = screen.Height;

    LoadSettings(m_settings, m_store);
    timerLetters.SetEnabled(true);
    ClearBoard();

    CentreControls();
    lblMessage.Visible = true;
}

void FrmMain::Form_Resize()
{
    const ScreenTwips screen = m_host.ScreenSize();
    Width = screen.Width;
    Height = screen.Height;
    CentreControls();
}

void FrmMain::CentreControls()
{
    // Centred without rounding: an odd difference gives a half-twip position.
    Picture2.Left = (Width - Picture2.Width) / 2.0f;
    Picture2.Top = (Height - Picture2.Height) / 2.0f;
    Picture1.Left = Picture2.Left;
    Picture1.Top = Picture2.Top + Picture2.Height;
    Label2.Left = (Width - Label2.Width) / 2.0f;
    Label2.Top = Picture2.Top - Label3.Height - Label2.Height;
    Label3.Left = (Width - Label3.Width) / 2.0f;
    Label3.Top = Picture2.Top - Label3.Height;
}

void FrmMain::Form_Activate()
{
    Picture1.Visible = true;
}

void FrmMain::cmdExit_Click()
{
    m_host.Quit();
}

void FrmMain::ClearBoard()
{
    for (int i = 0; i < kSlots; ++i) {
        lblMessage.Visible = false;
        lblLetter[i].Visible = false;
        lblLetter[i].Top = 0;
        FallSpeed[i] = 0;
        Explode[i].Visible = false;
        Star[i].Visible = false;
        Score[i].Visible = false;
    }
    // Whatever was falling is gone, so nothing is left for a tally to wait for.
    m_waveInPlay = false;
}

// ---- Falling letters ------------------------------------------------------------------

void FrmMain::LaunchWave()
{
    std::int16_t drawn;
    std::int16_t low;
    std::int16_t high;
    if (Difficulty == kEasy) {
        drawn = m_random.RandomBetween(1, 5);
        low = m_settings.EasyLow;
        high = m_settings.EasyHigh;
    } else if (Difficulty == kMedium) {
        drawn = m_random.RandomBetween(5, 8);
        low = m_settings.MedLow;
        high = m_settings.MedHigh;
    } else {
        drawn = m_random.RandomBetween(8, 17);
        low = m_settings.HardLow;
        high = m_settings.HardHigh;
    }
    if (m_characters)
        std::tie(low, high) = m_characters->FallRange(low, high);
    for (int n = 0; n <= drawn; ++n) {
        // Every slot is free at launch and at most 18 are drawn, so this always finds one.
        int slot;
        do {
            slot = m_random.RandomBetween(0, kSlots - 1);
        } while (lblLetter[slot].Visible);
        lblLetter[slot].Visible = true;
        FallSpeed[slot] = DrawSpeed(low, high);
    }
}

std::int16_t FrmMain::DrawSpeed(std::int16_t low, std::int16_t high)
{
    // Bounds edited by hand in the settings file can lie outside what the options window
    // stores: a negative speed would carry letters up out of sight, and a round with them
    // would never end. The draw keeps to the window's range; a stored 0 is left alone, as a
    // letter that waits at the top until it is hit. The stored values stay as they are.
    const auto inRange = [](std::int16_t v) -> std::int16_t {
        return v == 0 ? v : std::clamp<std::int16_t>(v, kLowestSpeed, kHighestSpeed);
    };
    return m_random.RandomBetween(inRange(low), inRange(high));
}

std::int16_t FrmMain::DrawCode(int keySetIndex)
{
    const auto draw = [this](CharClass c) { return m_random.RandomBetween(c.first, c.last); };
    switch (keySetIndex) {
    case KeyUpper: return draw(kUpper);
    case KeyLower: return draw(kLower);
    case KeyDigits: return draw(kDigit);
    case KeyLetters: return draw(m_random.RandomBetween(0, 1) == 0 ? kUpper : kLower);
    default: {
        const std::int16_t pick = m_random.RandomBetween(0, 2);
        return draw(pick == 0 ? kUpper : pick == 1 ? kLower : kDigit);
    }
    }
}

void FrmMain::SetLabelChars()
{
    if (m_characters) {
        m_characters->WaveStarts(static_cast<int>(
            std::count_if(lblLetter.begin(), lblLetter.end(), [](const Label& letter) { return letter.Visible; })));
        for (int i = 0; i < kSlots; ++i) {
            if (lblLetter[i].Visible)
                lblLetter[i].Caption = m_characters->Draw(m_random, i);
        }
        return;
    }
    const auto& keys = m_settings.KeySet;
    const auto first = std::find(keys.begin(), keys.end(), true);
    if (first == keys.end())
        return; // no set chosen: the letters keep their earlier characters
    const int keySetIndex = static_cast<int>(first - keys.begin());
    for (int i = 0; i < kSlots; ++i) {
        if (lblLetter[i].Visible) {
            lblLetter[i].Caption = CharacterText(static_cast<char32_t>(DrawCode(keySetIndex)));
        }
    }
}

void FrmMain::ReportLaunches()
{
    for (int i = 0; i < kSlots; ++i) {
        if (!lblLetter[i].Visible)
            continue;
        m_launchTick[i] = m_letterTicks;
        m_events->Launched(i, lblLetter[i].Caption);
    }
}

int FrmMain::KeySet() const
{
    return m_characters ? m_characters->KeySet() : FirstKeySet(m_settings.KeySet);
}

int FrmMain::LowestLetter() const
{
    int lowest = -1;
    for (int i = 0; i < kSlots; ++i) {
        if (lblLetter[i].Visible && (lowest < 0 || lblLetter[i].Top > lblLetter[lowest].Top))
            lowest = i;
    }
    return lowest;
}

bool FrmMain::LettersMoving() const
{
    for (int i = 0; i < kSlots; ++i) {
        if (lblLetter[i].Visible && FallSpeed[i] != 0)
            return true;
    }
    return false;
}

void FrmMain::LetterTicksPassed(std::int64_t ticks)
{
    if (ticks > 0)
        m_letterTicks += ticks;
}

bool FrmMain::LettersShown() const
{
    return std::any_of(lblLetter.begin(), lblLetter.end(), [](const Label& letter) { return letter.Visible; });
}

void FrmMain::timerLetters_Timer()
{
    ++m_letterTicks;
    for (int i = 0; i < kSlots; ++i) {
        if (lblLetter[i].Visible)
            lblLetter[i].Top += static_cast<float>(FallSpeed[i]);
    }
    for (int i = 0; i < kSlots; ++i) {
        if (!lblLetter[i].Visible || !(lblLetter[i].Top > kBottomLimit))
            continue;
        TimerEsplosione.SetEnabled(true);
        Explode[i].Top = lblLetter[i].Top;
        Explode[i].Visible = true;
        lblLetter[i].Visible = false;
        m_events->Landed(i, lblLetter[i].Caption);
        m_cues.PlayCue(Cue::Explode);
        CheckKey(kLandingMarker);
    }
}

// ---- Keyboard and hits ----------------------------------------------------------------

void FrmMain::Form_KeyDown(std::int16_t KeyCode, std::int16_t /*Shift*/)
{
    constexpr std::int16_t kShiftKey = 16;
    if (KeyCode != kShiftKey && GameRunning && KeyCode >= 0) {
        std::string echo = CharacterText(static_cast<char32_t>(KeyCode));
        lblPress.Caption = std::move(echo);
    }
}

void FrmMain::Form_KeyPress(char32_t KeyAscii)
{
    CheckKey(KeyAscii);
}

void FrmMain::Form_KeyUp(std::int16_t /*KeyCode*/, std::int16_t /*Shift*/)
{
    lblPress.Caption.clear();
}

void FrmMain::CheckKey(char32_t ch)
{
    bool missed = true;
    int remaining = 0;
    const std::string typed = CharacterText(ch);
    for (int i = 0; i < kSlots; ++i) {
        if (!lblLetter[i].Visible)
            continue;
        ++remaining;
        if (typed == lblLetter[i].Caption) {
            m_cues.PlayCue(Cue::LaserFire);
            missed = false;
            --remaining;
            Star[i].Top = lblLetter[i].Top;
            Star[i].Visible = true;
            m_events->Hit(lblLetter[i].Caption, i, lblLetter[i].Top, static_cast<int>(m_letterTicks - m_launchTick[i]));
            lblLetter[i].Visible = false;
            lblLetter[i].Top = 0;
        }
    }
    if (missed && ch != kLandingMarker) {
        AddToTotal(-kMissPenalty);
        ShowTotal();
        // Nothing was hit, so the letters are as they were when the key came.
        const int lowest = LowestLetter();
        m_events->Missed(typed, lowest >= 0 ? lblLetter[lowest].Caption : std::string());
        m_cues.PlayCue(Cue::Miss);
    }
    // Only the end of a launched wave starts its tally, once: a key typed while nothing
    // falls (between rounds, outside a game) must not start a wave of its own or count the
    // round's score labels twice.
    if (remaining == 0 && m_waveInPlay) {
        m_waveInPlay = false;
        timerScore.SetEnabled(true);
    }
}

void FrmMain::AddToTotal(int points)
{
    // The total is a 16-bit score; it stops at either end instead of wrapping.
    TotalScore = Saturate(TotalScore + points);
}

void FrmMain::ShowTotal()
{
    std::string caption = FormatScore(TotalScore, m_host.GroupSeparator());
    lblTotal.Caption = std::move(caption);
}

// ---- Game flow ------------------------------------------------------------------------

void FrmMain::cmdStart_Click()
{
    m_host.FocusPanel();
    if (!GameRunning) {
        LoadSettings(m_settings, m_store);
        RoundNumber = 1;
        TotalScore = 0;
        lblTotal.Caption = "0";
        GameRunning = true;
        cmdStart.Caption = kStopCaption;
        Difficulty = optDifficulty[0].Value ? kEasy : optDifficulty[1].Value ? kMedium : kHard;
        m_events->GameStarted(Difficulty, m_settings.MaxRounds, KeySet());
        StartGame();
    } else {
        GameRunning = false;
        m_events->GameEnded(TotalScore, false);
        ClearBoard();
        // A stop ends the whole sequence: no tally, pause or new wave runs on after it.
        timerScore.SetEnabled(false);
        TimerRound.SetEnabled(false);
        // A stop between the end of a round and its announcement leaves the 3 s step behind;
        // the next game's first pause must again come one second after its tally.
        TimerRound.SetInterval(1000);
        TimerEsplosione.SetEnabled(false);
        RoundStep = 0;
        lblMessage.Caption = kPressStartText;
        lblMessage.Visible = true;
        cmdStart.Caption = kStartCaption;
    }
}

void FrmMain::optDifficulty_Click(std::int16_t Index)
{
    constexpr std::array<std::int16_t, 3> kLevels{kEasy, kMedium, kHard};
    if (Index < 0 || Index >= static_cast<std::int16_t>(kLevels.size()))
        return;
    // The click selects its option in the group before the level follows it.
    for (std::size_t i = 0; i < optDifficulty.size(); ++i)
        optDifficulty[i].Value = static_cast<std::int16_t>(i) == Index;
    Difficulty = kLevels[Index];
}

void FrmMain::StartGame()
{
    ClearBoard();
    LaunchWave();
    SetLabelChars();
    ReportLaunches();
    m_waveInPlay = true;
    ++m_wavesLaunched;
    timerLetters.SetInterval(Difficulty);
    timerLetters.SetEnabled(true);
}

void FrmMain::TimerRound_Timer()
{
    TimerRound.SetInterval(1000);
    RoundStep = Saturate(RoundStep + 1);
    if (RoundStep == 1) {
        for (auto& score : Score)
            score.Visible = false;
        m_cues.PlayCue(Cue::Sound25);
        if (RoundNumber >= m_settings.MaxRounds) {
            lblMessage.Caption = kGameOverText;
            lblMessage.Visible = true;
            cmdStart.Caption = kStartCaption;
            TimerRound.SetEnabled(false);
            GameRunning = false;
            RoundStep = 0;
            m_events->GameEnded(TotalScore, true);
        } else {
            lblMessage.Caption = "Il giro " + std::to_string(RoundNumber) + " è finito";
            lblMessage.Visible = true;
            RoundNumber = Saturate(RoundNumber + 1);
            TimerRound.SetInterval(3000);
        }
    } else if (RoundStep == 2) {
        m_cues.PlayCue(Cue::Sound24);
        if (RoundNumber < m_settings.MaxRounds)
            lblMessage.Caption = "Inizia il giro " + std::to_string(RoundNumber);
        else if (RoundNumber == m_settings.MaxRounds)
            lblMessage.Caption = kLastRoundText;
        lblMessage.Visible = true;
    } else {
        RoundStep = 0;
        lblMessage.Visible = false;
        lblMessage.Caption = kPressStartText;
        TimerRound.SetEnabled(false);
        StartGame();
    }
}

// ---- Round tally ----------------------------------------------------------------------

void FrmMain::timerScore_Timer()
{
    for (int i = 0; i < kSlots; ++i) {
        if (!Star[i].Visible)
            continue;
        const double T = Star[i].Top;
        const double points = std::floor((6075.0 / 15.0 - T / 15.0) / 10.0);
        Score[i].Top = Star[i].Top;
        Star[i].Visible = false;
        Score[i].Caption = std::to_string(Saturate(static_cast<int>(std::clamp(points, -32768.0, 32767.0))));
        Score[i].Visible = true;
        m_cues.PlayCue(Cue::Blip);
        return;
    }
    for (int i = 0; i < kSlots; ++i) {
        if (!Explode[i].Visible)
            continue;
        Score[i].Top = Explode[i].Top;
        Score[i].Caption = "-10";
        Explode[i].Visible = false;
        Score[i].Visible = true;
        m_cues.PlayCue(Cue::Blip);
        return;
    }
    TimerEsplosione.SetEnabled(false);
    int roundPoints = 0;
    for (const auto& score : Score) {
        if (!score.Visible)
            continue;
        if (score.Caption.find('-') != std::string::npos) {
            roundPoints = Saturate(roundPoints - 10);
        } else {
            int value = 0;
            std::from_chars(score.Caption.data(), score.Caption.data() + score.Caption.size(), value);
            roundPoints = Saturate(roundPoints + value);
        }
    }
    AddToTotal(roundPoints);
    ShowTotal();
    m_events->RoundScored(RoundNumber, roundPoints);
    timerScore.SetEnabled(false);
    TimerRound.SetEnabled(true);
}

// ---- Explosions -----------------------------------------------------------------------

void FrmMain::TimerEsplosione_Timer()
{
    for (Image& image : Explode) {
        if (image.Visible)
            image.Picture = m_random.RandomBetween(FirstExplosionFrame, LastExplosionFrame);
    }
}

// ---- Button pointers ------------------------------------------------------------------

void FrmMain::SetCursor(Button& button, int icon)
{
    button.MouseIcon = icon;
}

void FrmMain::cmdAdvanced_MouseMove()
{
    SetCursor(cmdAdvanced, OpenHandCursor);
}
void FrmMain::cmdAdvanced_MouseDown()
{
    SetCursor(cmdAdvanced, ClosedHandCursor);
}
void FrmMain::cmdStart_MouseMove()
{
    SetCursor(cmdStart, OpenHandCursor);
}
void FrmMain::cmdStart_MouseDown()
{
    SetCursor(cmdStart, ClosedHandCursor);
}
void FrmMain::cmdExit_MouseMove()
{
    SetCursor(cmdExit, OpenHandCursor);
}
void FrmMain::cmdExit_MouseDown()
{
    SetCursor(cmdExit, ClosedHandCursor);
}

// ---- Options --------------------------------------------------------------------------

void FrmMain::cmdAdvanced_Click()
{
    Picture1.Visible = false;
    m_host.ShowOptionsModal();
}

} // namespace keyfall
