#pragma once
// Randomized play: a seeded generator of player events drives the whole core (main window,
// options window, settings store, virtual clock) and a checker compares every step with
// the rules of the game. A failing run can be replayed from its events and shrunk to a
// short sequence that still breaks the same rule.

#include "game/FrmMain.h"
#include "game/VirtualClock.h"
#include "options/FrmOptions.h"
#include "settings/MemoryStore.h"
#include "support/Doubles.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace keyfall::stress {

// One thing the player does inside the options window.
struct OptionStep {
    enum Kind : std::uint8_t { SetBar, DragThumb, SelectOption, Apply, MouseOnApply, MouseOnClose, Wait };
    explicit OptionStep(Kind k, int e = 0, int v = 0) : kind(k), editor(e), value(v) {}
    Kind kind;
    int editor = 0; // Editor index for the bars
    int value = 0;  // bar value, option index, or milliseconds for Wait
};

// One event of a session: what a player, the window system or the clock does.
struct Event {
    enum Kind : std::uint8_t {
        KeyPress,   // value: the typed character's code
        KeyDown,    // value: key code
        KeyUp,      // value: key code
        Wait,       // value: milliseconds of virtual time
        StartStop,  // a click on VIA / DA CAPO
        Exit,       // a click on ESCI
        Difficulty, // value: option index, valid or not
        Activate,   // the window becomes active again
        Pointer,    // value: button 0..2 (advanced, start, exit), shift: 0 move, 1 press
        EditStore,  // the settings file changed behind the program's back: `edits`
        Options,    // OPZIONI AVANZATE, then `options`, then TORNA AL GIOCO
    };
    Event(Kind k, int v = 0, int s = 0) : kind(k), value(v), shift(s) {}
    Kind kind;
    int value = 0;
    int shift = 0;
    std::vector<OptionStep> options;
    std::vector<std::pair<int, std::string>> edits; // row of the stored layout, new text
};

std::string Describe(const Event& event);
std::string Describe(const std::vector<Event>& events);

// Counts cues instead of recording them, so that a day of play stays small.
class CountingCues : public CuePlayer {
public:
    void PlayCue(Cue cue) override { ++counts[static_cast<std::size_t>(cue)]; }
    std::array<std::int64_t, 6> counts{};
};

// What the player achieved; filled in by the checker as it watches.
struct Tally {
    std::int64_t events = 0;
    std::int64_t steps = 0; // handler calls and clock instants observed
    std::int64_t checks = 0;
    std::int64_t ticks = 0;
    std::int64_t gamesStarted = 0;
    std::int64_t gamesFinished = 0;
    std::int64_t gamesStopped = 0;
    std::int64_t waves = 0;
    std::int64_t hits = 0;
    std::int64_t landings = 0;
    std::int64_t misses = 0;
    std::int64_t optionsOpened = 0;
    std::int64_t applies = 0;
    std::int64_t simulatedMs = 0;

    Tally& operator+=(const Tally& other);
    std::string Summary() const;
};

struct Failure {
    std::string rule;   // which rule broke (stable across replays)
    std::string detail; // values seen
    std::size_t eventIndex = 0;
};

class Checker;

// Follows the game's events as they come and keeps what the checker compares with the
// board: every launched character must end once, as a hit or a landing, and each game's
// end must report the total that its rounds and misses made.
class EventLedger : public GameEvents {
public:
    EventLedger(const FrmMain& form, const Settings& settings) : m_form(form), m_settings(settings) {}
    void GameStarted(std::int16_t level, std::int16_t rounds, int keySet) override;
    void Launched(int slot, const std::string& character) override;
    void Hit(const std::string& character, int slot, float height, int ticks) override;
    void Missed(const std::string& character, const std::string& meantFor) override;
    void Landed(int slot, const std::string& character) override;
    void RoundScored(std::int16_t round, int points) override;
    void GameEnded(std::int16_t total, bool finished) override;

    std::string problem; // the first broken rule, or empty
    std::int64_t started = 0;
    std::int64_t finished = 0;
    std::int64_t stopped = 0;

private:
    void Break(const std::string& what);
    void Ends(int slot, const std::string& character, const char* how);

    const FrmMain& m_form;
    const Settings& m_settings;
    bool m_inGame = false;
    std::int16_t m_total = 0;
    std::int16_t m_nextRound = 1;
    std::array<std::optional<std::string>, kSlots> m_falling{};
};

// The program with doubles around it, one per session.
class Rig {
public:
    explicit Rig(std::uint64_t seed, std::string separator = ".");
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // Runs one event and checks every step of it. False once a rule has broken.
    bool Apply(const Event& event);
    const std::optional<Failure>& failure() const;
    const Tally& tally() const;

    FrmMain& form() { return m_form; }
    const FrmMain& form() const { return m_form; }
    VirtualClock& clock() { return m_clock; }
    MemoryStore& store() { return m_store; }
    const test::FakeHost& host() const { return m_host; }
    // The options window while it is open, or null.
    const FrmOptions* options() const { return m_options; }

    // For the checker's own tests: runs after every step, before the checks.
    std::function<void(FrmMain&)> tamper;

private:
    class ModalHost : public OptionsHost {
    public:
        void Unload() override { open = false; }
        bool open = false;
    };

    void Advance(std::int64_t ms);
    void RunOptions(const Event& event);

    Settings m_settings;
    MemoryStore m_store;
    Random m_random;
    CountingCues m_cues;
    test::FakeHost m_host;
    FrmMain m_form;
    VirtualClock m_clock;
    ModalHost m_modal;
    EventLedger m_ledger{m_form, m_settings};
    FrmOptions* m_options = nullptr;
    const Event* m_current = nullptr;
    std::unique_ptr<Checker> m_checker;
};

// Makes up the next event from what the player sees.
class Generator {
public:
    explicit Generator(std::uint64_t seed);
    Event Next(const Rig& rig);

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    char32_t TypedCharacter(const Rig& rig);
    int KeyCode();
    int WaitMs();
    Event StoreEdit();
    Event OptionsVisit();

    std::mt19937_64 m_rng;
    std::discrete_distribution<int> m_idle;
    std::discrete_distribution<int> m_playing;
};

struct SessionResult {
    std::uint64_t seed = 0;
    std::string separator;
    std::vector<Event> events; // up to and including the failing one
    std::optional<Failure> failure;
    Tally tally;
};

// Plays `count` generated events on a fresh program.
SessionResult PlaySession(std::uint64_t seed, std::int64_t count, const std::function<void(FrmMain&)>& tamper = {});

// Replays events on a fresh program; the failure, if any.
std::optional<Failure> Replay(std::uint64_t seed, const std::string& separator, const std::vector<Event>& events,
                              const std::function<void(FrmMain&)>& tamper = {});

// The shortest sequence found that still breaks the same rule: first the shortest failing
// tail, then chunks removed, halving the chunk size down to single events.
std::vector<Event> Shrink(const SessionResult& failed, const std::function<void(FrmMain&)>& tamper = {},
                          int maxReplays = 20000);

// A bot that plays for `hours` of virtual time without pause: it starts games again and again
// at random levels, sometimes changes the options in between, types with a random accuracy
// and reaction time, and now and then gives up a game with DA CAPO.
struct DayResult {
    std::optional<Failure> failure;
    std::vector<Event> lastEvents; // the events of the game in which a rule broke
    Tally tally;
};
DayResult PlayDay(std::uint64_t seed, double hours);

} // namespace keyfall::stress
