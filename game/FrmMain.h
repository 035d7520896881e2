#pragma once
// The main window's logic: start-up, the letter slots and falling characters, the keyboard
// and the hits, the game's rounds, the round tally and the explosion animation.
// Handlers read and write the control state below and call out only through the
// interfaces handed in; nothing here reads a clock or knows about Qt.

#include "game/CharacterSource.h"
#include "game/Controls.h"
#include "game/GameEvents.h"
#include "game/Host.h"
#include "settings/Random.h"
#include "settings/Settings.h"

#include <array>
#include <cstdint>
#include <string>

namespace keyfall {

inline constexpr int kSlots = 18;
inline constexpr float kBottomLimit = 6075; // a letter whose top passes this has landed
inline constexpr float kTwipsPerPixel = 15;
inline constexpr char32_t kLandingMarker = U'"';
inline constexpr std::int16_t kMissPenalty = 30;

inline constexpr std::int16_t kEasy = 100;
inline constexpr std::int16_t kMedium = 50;
inline constexpr std::int16_t kHard = 25;

inline constexpr const char* kPressStartText = "Premi il pulsante VIA";
inline constexpr const char* kGameOverText = "La partita è finita";
inline constexpr const char* kLastRoundText = "Inizia l'ultimo giro";
inline constexpr const char* kStartCaption = "VIA";
inline constexpr const char* kStopCaption = "DA CAPO";

// Formats a score as "###,###": digits grouped by threes with `separator`, a leading minus
// for negative values, and an empty text for 0.
std::string FormatScore(std::int16_t value, const std::string& separator);

// The character with the given code, as UTF-8 (codes up to 255 are Latin-1).
std::string CharacterText(char32_t code);

class FrmMain {
public:
    FrmMain(Settings& settings, SettingsStore& store, Random& random, CuePlayer& cues, Host& host);

    // Window events.
    void Form_Load();
    void Form_Activate();
    // The screen (or the window) has changed size: the window takes the new size and the
    // field, panel and captions are centred again as at start-up. Nothing of the game changes.
    void Form_Resize();
    void Form_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void Form_KeyPress(char32_t KeyAscii);
    void Form_KeyUp(std::int16_t KeyCode, std::int16_t Shift);

    // Control events.
    void cmdExit_Click();
    void cmdStart_Click();
    void cmdAdvanced_Click();
    void optDifficulty_Click(std::int16_t Index);
    void cmdAdvanced_MouseMove();
    void cmdAdvanced_MouseDown();
    void cmdStart_MouseMove();
    void cmdStart_MouseDown();
    void cmdExit_MouseMove();
    void cmdExit_MouseDown();

    // Timer ticks.
    void timerLetters_Timer();
    void timerScore_Timer();
    void TimerEsplosione_Timer();
    void TimerRound_Timer();

    // Procedures shared between the handlers.
    void ClearBoard();
    void LaunchWave();
    void SetLabelChars();
    void StartGame();

    // The window and its controls (twips, relative to their container).
    float Width = 12000;
    float Height = 9000;

    Control Picture2{930, 810, 9660, 6450};   // playing field
    Control Picture1{1755, 7515, 9660, 1095}; // control panel
    Label Label2{{4905, 30, 2190, 435}, ""};
    Label Label3{{3383, 435, 5235, 240}, ""};

    std::array<Label, kSlots> lblLetter;
    std::array<Image, kSlots> Explode;
    std::array<Image, kSlots> Star;
    std::array<Label, kSlots> Score;
    std::array<std::int16_t, kSlots> FallSpeed{};

    Label lblMessage{{3128, 4350, 5745, 570}, kPressStartText};
    Label lblPress{{3555, 6375, 210, 900}, "x"};

    Button cmdAdvanced{{3420, 150, 1320, 765}, "OPZIONI AVANZATE"};
    Control Frame1{105, 30, 3195, 900};
    std::array<OptionButton, 3> optDifficulty{{
        {{135, 435, 975, 255}, "Facile", false},
        {{1095, 435, 975, 255}, "Medio", true},
        {{2055, 435, 1110, 255}, "Difficile", false},
    }};
    Button cmdStart{{7605, 150, 870, 765}, kStartCaption};
    Button cmdExit{{8610, 150, 855, 765}, "ESCI"};
    Label Label1{{4995, 510, 2250, 375}, "PUNTI"};
    Label lblTotal{{4980, 45, 2295, 930}, "0"};

    Timer timerLetters{100, true};
    Timer TimerEsplosione{300, false};
    Timer TimerRound{1000, false};
    Timer timerScore{500, false};

    // Game variables.
    bool GameRunning = false;
    std::int16_t RoundNumber = 0;
    std::int16_t Difficulty = 0;
    std::int16_t RoundStep = 0;
    std::int16_t TotalScore = 0;

    // Waves launched by StartGame since it was created (a game of M rounds launches M).
    int WavesLaunched() const { return m_wavesLaunched; }
    // True from a wave's launch until its last character is hit or lands.
    bool WaveInPlay() const { return m_waveInPlay; }
    // True while a letter is on the field: only then does a tick of the letters' timer change
    // anything (it moves them, and counts the ticks that time the player's hits).
    bool LettersShown() const;
    // Some letter on the field moves with the letter timer (a stored speed of 0 keeps one
    // waiting at the top until it is hit).
    bool LettersMoving() const;
    // `ticks` ticks of the letter timer that the host let pass without running them, because
    // no letter moved: each would have moved nothing and landed nothing, and only counted
    // towards the reaction times of the letters still to be hit.
    void LetterTicksPassed(std::int64_t ticks);
    // The slot of the falling letter lowest on the field (the first of equals), or -1.
    int LowestLetter() const;

    Settings& settings() { return m_settings; }

    // Where the letters' characters come from from the next wave on: a training set, or with
    // null the key sets of the options window.
    void SetCharacters(CharacterSource* source) { m_characters = source; }
    // The key set the next game is recorded under.
    int KeySet() const;

    // Who hears what happens in the games from now on; nobody until this is called.
    void SetEvents(GameEvents& events) { m_events = &events; }

private:
    // Centres the field with the panel below it and the two captions above it (start-up and resizes).
    void CentreControls();
    void CheckKey(char32_t ch);
    void AddToTotal(int points);
    void ShowTotal();
    void SetCursor(Button& button, int icon);
    void ReportLaunches();
    std::int16_t DrawCode(int keySetIndex);
    std::int16_t DrawSpeed(std::int16_t low, std::int16_t high);

    Settings& m_settings;
    SettingsStore& m_store;
    Random& m_random;
    CuePlayer& m_cues;
    Host& m_host;
    bool m_waveInPlay = false;
    int m_wavesLaunched = 0;
    CharacterSource* m_characters = nullptr;
    GameEvents m_silent;
    GameEvents* m_events = &m_silent;
    // Letter-timer ticks so far, and the count at each slot's launch: reaction times are
    // counted in ticks, never read from a clock.
    std::int64_t m_letterTicks = 0;
    std::array<std::int64_t, kSlots> m_launchTick{};
};

} // namespace keyfall
