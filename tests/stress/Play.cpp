#include "stress/Play.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace keyfall::stress {
namespace {

std::int16_t Saturate(std::int64_t value)
{
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

// The score display, written independently of the game's own formatter.
std::string Grouped(std::int16_t value, const std::string& separator)
{
    if (value == 0)
        return {};
    std::string text = std::to_string(std::abs(static_cast<int>(value)));
    for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3)
        text.insert(static_cast<std::size_t>(at), separator);
    return value < 0 ? "-" + text : text;
}

// One point for every 150 twips above the bottom limit.
std::int16_t StarPoints(float top)
{
    const double points = std::floor((6075.0 / 15.0 - static_cast<double>(top) / 15.0) / 10.0);
    return Saturate(static_cast<std::int64_t>(std::clamp(points, -1e9, 1e9)));
}

int CodePoints(const std::string& text)
{
    return static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c)
{
    return c >= 'a' && c <= 'z';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool FitsKeySet(const std::string& caption, const std::array<bool, 5>& keys)
{
    if (caption.size() != 1)
        return false;
    const char c = caption[0];
    if (keys[KeyUpper])
        return IsUpper(c);
    if (keys[KeyLower])
        return IsLower(c);
    if (keys[KeyDigits])
        return IsDigit(c);
    if (keys[KeyLetters])
        return IsUpper(c) || IsLower(c);
    if (keys[KeyAll])
        return IsUpper(c) || IsLower(c) || IsDigit(c);
    return true; // no set chosen: the letters keep whatever they showed
}

int FirstTrue(const std::array<bool, 5>& keys)
{
    const auto it = std::find(keys.begin(), keys.end(), true);
    return it == keys.end() ? -1 : static_cast<int>(it - keys.begin());
}

const char* const kEditorNames[kEditors] = {"rounds",   "easy-low", "easy-high", "med-low",
                                            "med-high", "hard-low", "hard-high"};

// The stored layout, by row: section and value name.
constexpr std::array<std::pair<const char*, const char*>, 12> kRows{{
    {"FallRates", "EasyLow"},
    {"FallRates", "EasyHigh"},
    {"FallRates", "MedLow"},
    {"FallRates", "MedHigh"},
    {"FallRates", "HardLow"},
    {"FallRates", "HardHigh"},
    {"Rounds", "Max"},
    {"Selezione", "Maiu"},
    {"Selezione", "Minu"},
    {"Selezione", "MaiuMinu"},
    {"Selezione", "Nume"},
    {"Selezione", "MaiuMinuNume"},
}};

std::string CodeText(int code)
{
    std::ostringstream out;
    if (code >= 33 && code < 127 && code != '\'')
        out << '\'' << static_cast<char>(code) << "' ";
    out << "(" << code << ")";
    return out.str();
}

} // namespace

// ---- Descriptions ---------------------------------------------------------------------

std::string Describe(const Event& event)
{
    std::ostringstream out;
    switch (event.kind) {
    case Event::KeyPress: out << "type " << CodeText(event.value); break;
    case Event::KeyDown: out << "key down " << event.value; break;
    case Event::KeyUp: out << "key up " << event.value; break;
    case Event::Wait: out << "wait " << event.value << " ms"; break;
    case Event::StartStop: out << "click VIA/DA CAPO"; break;
    case Event::Exit: out << "click ESCI"; break;
    case Event::Difficulty: out << "click level option " << event.value; break;
    case Event::Activate: out << "window activated"; break;
    case Event::Pointer:
        out << (event.shift ? "press on " : "pointer over ")
            << (event.value == 0   ? "OPZIONI AVANZATE"
                : event.value == 1 ? "VIA/DA CAPO"
                                   : "ESCI");
        break;
    case Event::EditStore:
        out << "settings file edited:";
        for (const auto& [row, text] : event.edits)
            out << ' ' << kRows[static_cast<std::size_t>(row)].first << '/'
                << kRows[static_cast<std::size_t>(row)].second << "=\"" << text << '"';
        break;
    case Event::Options:
        out << "OPZIONI AVANZATE {";
        for (const OptionStep& step : event.options) {
            switch (step.kind) {
            case OptionStep::SetBar: out << " set " << kEditorNames[step.editor] << '=' << step.value << ';'; break;
            case OptionStep::DragThumb: out << " drag " << kEditorNames[step.editor] << '=' << step.value << ';'; break;
            case OptionStep::SelectOption: out << " key set " << step.value << ';'; break;
            case OptionStep::Apply: out << " APPLICA;"; break;
            case OptionStep::MouseOnApply: out << (step.value ? " press" : " pointer") << " on APPLICA;"; break;
            case OptionStep::MouseOnClose: out << (step.value ? " press" : " pointer") << " on TORNA;"; break;
            case OptionStep::Wait: out << " wait " << step.value << " ms;"; break;
            }
        }
        out << " TORNA AL GIOCO }";
        break;
    }
    return out.str();
}

std::string Describe(const std::vector<Event>& events)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < events.size(); ++i)
        out << "  " << i + 1 << ". " << Describe(events[i]) << '\n';
    return out.str();
}

Tally& Tally::operator+=(const Tally& other)
{
    events += other.events;
    steps += other.steps;
    checks += other.checks;
    ticks += other.ticks;
    gamesStarted += other.gamesStarted;
    gamesFinished += other.gamesFinished;
    gamesStopped += other.gamesStopped;
    waves += other.waves;
    hits += other.hits;
    landings += other.landings;
    misses += other.misses;
    optionsOpened += other.optionsOpened;
    applies += other.applies;
    simulatedMs += other.simulatedMs;
    return *this;
}

std::string Tally::Summary() const
{
    std::ostringstream out;
    out << events << " events, " << steps << " steps (" << ticks << " clock instants), " << checks
        << " invariant checks; " << gamesStarted << " games started, " << gamesFinished << " played to the end, "
        << gamesStopped << " stopped; " << waves << " waves, " << hits << " hits, " << landings << " landings, "
        << misses << " misses; options opened " << optionsOpened << " times, applied " << applies << " times; "
        << simulatedMs / 1000 << " s of virtual time";
    return out.str();
}

// ---- The checker ----------------------------------------------------------------------

namespace {

enum class SlotState : std::uint8_t { Free, Falling, Hit, Landed, Tallied, Broken };

struct SlotView {
    SlotState state = SlotState::Free;
    float letterTop = 0;
    std::string letter;
    std::int16_t speed = 0;
    float starTop = 0;
    float explodeTop = 0;
    int picture = 0;
    float scoreTop = 0;
    std::string score;
};

struct Snapshot {
    std::array<SlotView, kSlots> slot;
    bool running = false;
    std::int16_t round = 0;
    std::int16_t step = 0;
    std::int16_t difficulty = 0;
    std::int16_t total = 0;
    std::string totalText;
    std::string message;
    bool messageVisible = false;
    std::string press;
    std::string startCaption;
    bool panelVisible = true;
    bool letters = false, explosions = false, roundTimer = false, scoreTimer = false;
    int lettersInterval = 0, explosionsInterval = 0, roundInterval = 0, scoreInterval = 0;
    int waves = 0;
    bool waveInPlay = false;
    std::array<std::int64_t, 6> cues{};
    std::array<bool, 3> levels{};
    std::array<int, 3> icons{};
    int quits = 0;
    int focusCalls = 0;
    Settings settings;

    bool AnyIn(SlotState s) const
    {
        return std::any_of(slot.begin(), slot.end(), [s](const SlotView& v) { return v.state == s; });
    }
    bool BoardEmpty() const
    {
        return std::all_of(slot.begin(), slot.end(), [](const SlotView& v) { return v.state == SlotState::Free; });
    }
};

bool SameSlot(const SlotView& a, const SlotView& b)
{
    return a.state == b.state && a.letterTop == b.letterTop && a.letter == b.letter && a.speed == b.speed
           && a.starTop == b.starTop && a.explodeTop == b.explodeTop && a.picture == b.picture
           && a.scoreTop == b.scoreTop && a.score == b.score;
}

bool SameBoard(const Snapshot& a, const Snapshot& b)
{
    for (int i = 0; i < kSlots; ++i) {
        if (!SameSlot(a.slot[i], b.slot[i]))
            return false;
    }
    return true;
}

// Everything of the game flow except the difficulty.
bool SameFlow(const Snapshot& a, const Snapshot& b)
{
    return a.running == b.running && a.round == b.round && a.step == b.step && a.message == b.message
           && a.messageVisible == b.messageVisible && a.startCaption == b.startCaption && a.letters == b.letters
           && a.explosions == b.explosions && a.roundTimer == b.roundTimer && a.scoreTimer == b.scoreTimer
           && a.lettersInterval == b.lettersInterval && a.roundInterval == b.roundInterval && a.waves == b.waves
           && a.waveInPlay == b.waveInPlay && a.total == b.total && a.totalText == b.totalText;
}

std::string Describe(const Snapshot& s)
{
    std::ostringstream out;
    out << "running=" << s.running << " round=" << s.round << " step=" << s.step << " difficulty=" << s.difficulty
        << " total=" << s.total << " lblTotal=\"" << s.totalText
        << "\" message=" << (s.messageVisible ? "" : "(hidden)") << "\"" << s.message
        << "\" timers: letters=" << s.letters << "@" << s.lettersInterval << " explosions=" << s.explosions
        << " round=" << s.roundTimer << "@" << s.roundInterval << " score=" << s.scoreTimer << " waves=" << s.waves
        << " waveInPlay=" << s.waveInPlay << " MaxRounds=" << s.settings.MaxRounds << "\n    slots:";
    static const char* const kStates = "-LSXTB";
    for (const SlotView& v : s.slot) {
        out << ' ' << kStates[static_cast<int>(v.state)];
        if (v.state == SlotState::Falling)
            out << v.letter << '@' << v.letterTop << '+' << v.speed;
        else if (v.state == SlotState::Hit)
            out << '@' << v.starTop;
        else if (v.state == SlotState::Landed)
            out << '@' << v.explodeTop;
        else if (v.state == SlotState::Tallied)
            out << v.score << '@' << v.scoreTop;
    }
    return out.str();
}

} // namespace

class Checker {
public:
    enum class StepKind {
        Load,
        KeyPress,
        KeyDown,
        KeyUp,
        Start,
        Exit,
        Difficulty,
        Activate,
        Pointer,
        Tick,
        EditStore,
        OptionsOpen,
        OptionsStep,
        OptionsClose
    };

    Checker(const FrmMain& form, const Settings& settings, const MemoryStore& store, const CountingCues& cues,
            const test::FakeHost& host, const EventLedger& ledger)
        : m_form(form), m_settings(settings), m_store(store), m_cues(cues), m_host(host), m_ledger(ledger)
    {
    }

    void Observe(StepKind kind, int value = 0, int shift = 0, const FrmOptions* options = nullptr,
                 const OptionStep* optionStep = nullptr);

    std::optional<Failure> failure;
    Tally tally;
    std::size_t eventIndex = 0;

private:
    Snapshot Capture() const;

    template <typename Detail>
    void Expect(bool ok, const char* rule, Detail detail)
    {
        ++tally.checks;
        if (ok || failure)
            return;
        failure = Failure{rule, detail() + "\n    before: " + Describe(m_prev) + "\n    after:  " + Describe(m_now),
                          eventIndex};
    }
    void Expect(bool ok, const char* rule)
    {
        Expect(ok, rule, [] { return std::string(); });
    }

    void CheckLaunch();
    void KeyPress(char32_t code);
    void Start();
    void Tick();
    void OptionsOpened(const FrmOptions& options);
    void OptionsStepped(const FrmOptions& options, const OptionStep& step);
    void OptionsInvariants(const FrmOptions& options);
    void General();

    const FrmMain& m_form;
    const Settings& m_settings;
    const MemoryStore& m_store;
    const CountingCues& m_cues;
    const test::FakeHost& m_host;
    const EventLedger& m_ledger;

    Snapshot m_prev;
    Snapshot m_now;
    bool m_loaded = false;

    // The model: what the rules say the game must show.
    std::int16_t m_score = 0;
    std::string m_scoreText = "0";
    std::string m_press = "x";
    int m_lettersInterval = 100;
    std::array<std::optional<std::int16_t>, kSlots> m_marks{}; // points of this wave's stars and explosions
    int m_landedThisWave = 0;
    int m_firstWaveOfGame = 0;
    std::int16_t m_roundsAtStart = 0;
    std::int16_t m_mostRounds = 0;
    bool m_roundsChanged = false;
    bool m_panelShown = true;
    bool m_applyEnabled = false;
    std::array<std::string, kEditors> m_labels;
};

Snapshot Checker::Capture() const
{
    Snapshot s;
    const FrmMain& f = m_form;
    for (int i = 0; i < kSlots; ++i) {
        SlotView& v = s.slot[i];
        const int shown = (f.lblLetter[i].Visible ? 1 : 0) + (f.Star[i].Visible ? 1 : 0)
                          + (f.Explode[i].Visible ? 1 : 0) + (f.Score[i].Visible ? 1 : 0);
        v.state = shown > 1                ? SlotState::Broken
                  : f.lblLetter[i].Visible ? SlotState::Falling
                  : f.Star[i].Visible      ? SlotState::Hit
                  : f.Explode[i].Visible   ? SlotState::Landed
                  : f.Score[i].Visible     ? SlotState::Tallied
                                           : SlotState::Free;
        v.letterTop = f.lblLetter[i].Top;
        v.letter = f.lblLetter[i].Caption;
        v.speed = f.FallSpeed[i];
        v.starTop = f.Star[i].Top;
        v.explodeTop = f.Explode[i].Top;
        v.picture = f.Explode[i].Picture;
        v.scoreTop = f.Score[i].Top;
        v.score = f.Score[i].Caption;
    }
    s.running = f.GameRunning;
    s.round = f.RoundNumber;
    s.step = f.RoundStep;
    s.difficulty = f.Difficulty;
    s.total = f.TotalScore;
    s.totalText = f.lblTotal.Caption;
    s.message = f.lblMessage.Caption;
    s.messageVisible = f.lblMessage.Visible;
    s.press = f.lblPress.Caption;
    s.startCaption = f.cmdStart.Caption;
    s.panelVisible = f.Picture1.Visible;
    s.letters = f.timerLetters.Enabled();
    s.explosions = f.TimerEsplosione.Enabled();
    s.roundTimer = f.TimerRound.Enabled();
    s.scoreTimer = f.timerScore.Enabled();
    s.lettersInterval = f.timerLetters.Interval();
    s.explosionsInterval = f.TimerEsplosione.Interval();
    s.roundInterval = f.TimerRound.Interval();
    s.scoreInterval = f.timerScore.Interval();
    s.waves = f.WavesLaunched();
    s.waveInPlay = f.WaveInPlay();
    s.cues = m_cues.counts;
    for (int i = 0; i < 3; ++i)
        s.levels[i] = f.optDifficulty[i].Value;
    s.icons = {f.cmdAdvanced.MouseIcon, f.cmdStart.MouseIcon, f.cmdExit.MouseIcon};
    s.quits = m_host.quitCalls;
    s.focusCalls = m_host.focusPanelCalls;
    s.settings = m_settings;
    return s;
}

void Checker::Observe(StepKind kind, int value, int shift, const FrmOptions* options, const OptionStep* optionStep)
{
    ++tally.steps;
    m_now = Capture();
    if (kind == StepKind::Load) {
        m_loaded = true;
        m_prev = m_now;
        Expect(m_now.message == kPressStartText && m_now.messageVisible, "the window opens with its invitation");
        General();
        m_prev = std::move(m_now);
        return;
    }
    const auto cuesSame = [&](std::initializer_list<Cue> except) {
        for (int c = 0; c < 6; ++c) {
            if (std::find(except.begin(), except.end(), static_cast<Cue>(c)) != except.end())
                continue;
            if (m_now.cues[c] != m_prev.cues[c])
                return false;
        }
        return true;
    };
    const auto quiet = [&](const char* rule) {
        Expect(SameBoard(m_prev, m_now) && SameFlow(m_prev, m_now) && cuesSame({}), rule);
    };

    switch (kind) {
    case StepKind::Load: break;
    case StepKind::KeyPress: KeyPress(static_cast<char32_t>(value)); break;
    case StepKind::KeyDown:
        quiet("a key going down only echoes the key");
        Expect(m_now.difficulty == m_prev.difficulty, "a key going down only echoes the key");
        if (value != 16 && m_prev.running && value >= 0)
            m_press = CharacterText(static_cast<char32_t>(value));
        break;
    case StepKind::KeyUp:
        quiet("a key coming up only empties the echo");
        m_press.clear();
        break;
    case StepKind::Start: Start(); break;
    case StepKind::Exit:
        quiet("ESCI leaves the game alone and only asks the host to quit");
        Expect(m_now.quits == m_prev.quits + 1, "ESCI asks the host to quit");
        break;
    case StepKind::Difficulty: {
        quiet("a level option changes nothing of a wave under way");
        constexpr std::array<std::int16_t, 3> kLevels{kEasy, kMedium, kHard};
        if (value >= 0 && value < 3) {
            Expect(m_now.difficulty == kLevels[value], "a level option sets the level");
            Expect(m_now.levels[value], "a clicked level option is selected");
        } else {
            Expect(m_now.difficulty == m_prev.difficulty && m_now.levels == m_prev.levels,
                   "an unknown level option changes nothing");
        }
        break;
    }
    case StepKind::Activate:
        quiet("activation only shows the panel");
        m_panelShown = true;
        break;
    case StepKind::Pointer: {
        quiet("pointers change nothing of the game");
        const int expected = shift ? ClosedHandCursor : OpenHandCursor;
        Expect(m_now.icons[static_cast<std::size_t>(value)] == expected, "a button shows the hand that touches it");
        break;
    }
    case StepKind::Tick: Tick(); break;
    case StepKind::EditStore:
        quiet("an edited settings file is read only at the next start");
        Expect(m_now.settings == m_prev.settings, "an edited settings file is read only at the next start");
        break;
    case StepKind::OptionsOpen:
        quiet("opening the options leaves the game alone");
        OptionsOpened(*options);
        break;
    case StepKind::OptionsStep:
        quiet("the options window leaves the game alone");
        OptionsStepped(*options, *optionStep);
        break;
    case StepKind::OptionsClose: quiet("closing the options leaves the game alone"); break;
    }
    // A state that no step may ever show is the clearer report, so it wins over the step's
    // own checks when both fail.
    std::optional<Failure> fromStep = std::move(failure);
    failure.reset();
    General();
    if (!failure)
        failure = std::move(fromStep);
    m_prev = std::move(m_now);
}

void Checker::CheckLaunch()
{
    const Snapshot& n = m_now;
    ++tally.waves;
    int launched = 0;
    std::int16_t low = n.settings.HardLow;
    std::int16_t high = n.settings.HardHigh;
    int fewest = 9;
    int most = 18;
    if (n.difficulty == kEasy) {
        low = n.settings.EasyLow;
        high = n.settings.EasyHigh;
        fewest = 2;
        most = 6;
    } else if (n.difficulty == kMedium) {
        low = n.settings.MedLow;
        high = n.settings.MedHigh;
        fewest = 6;
        most = 9;
    }
    // Hand-edited bounds outside the options window's range are drawn as its nearest end;
    // a stored 0 stays 0.
    const auto drawn = [](int v) { return v == 0 ? 0 : std::clamp<int>(v, kLowestSpeed, kHighestSpeed); };
    low = static_cast<std::int16_t>(drawn(low));
    high = static_cast<std::int16_t>(drawn(high));
    const int lowest = high >= low ? low : high + 1;
    const int highest = high >= low ? high : low;
    for (const SlotView& v : n.slot) {
        if (v.state != SlotState::Falling) {
            Expect(v.state == SlotState::Free, "a wave starts on an empty board");
            continue;
        }
        ++launched;
        Expect(v.letterTop == 0, "a wave starts at the top");
        Expect(v.speed >= lowest && v.speed <= highest, "each letter falls within the level's bounds",
               [&] { return "speed " + std::to_string(v.speed); });
        Expect(FitsKeySet(v.letter, n.settings.KeySet), "each letter comes from the chosen key set",
               [&] { return "letter \"" + v.letter + "\""; });
    }
    Expect(launched >= fewest && launched <= most, "a wave's size follows the level",
           [&] { return std::to_string(launched) + " letters"; });
    Expect(!n.messageVisible, "the message hides while a wave falls");
    Expect(n.letters && n.lettersInterval == n.difficulty, "the letter timer ticks at the level's pace");
    Expect(n.waveInPlay, "a launched wave is in play");
    m_marks.fill(std::nullopt);
    m_landedThisWave = 0;
    m_lettersInterval = n.difficulty;
}

void Checker::KeyPress(char32_t code)
{
    const Snapshot& p = m_prev;
    const Snapshot& n = m_now;
    const std::string typed = CharacterText(code);
    int hits = 0;
    for (int i = 0; i < kSlots; ++i) {
        const SlotView& a = p.slot[i];
        const SlotView& b = n.slot[i];
        if (a.state == SlotState::Falling && a.letter == typed) {
            ++hits;
            Expect(b.state == SlotState::Hit && b.starTop == a.letterTop,
                   "a typed character leaves a star where its letter was");
            m_marks[i] = StarPoints(a.letterTop);
        } else {
            Expect(SameSlot(a, b), "a key touches only the letters it hits");
        }
    }
    tally.hits += hits;
    const bool charged = hits == 0 && code != kLandingMarker;
    if (charged) {
        ++tally.misses;
        m_score = Saturate(m_score - 30);
        m_scoreText = Grouped(m_score, m_host.separator);
    }
    const auto delta = [&](Cue c) { return n.cues[static_cast<int>(c)] - p.cues[static_cast<int>(c)]; };
    Expect(delta(Cue::LaserFire) == hits, "one laser shot per hit");
    Expect(delta(Cue::Miss) == (charged ? 1 : 0), "a miss, and only a miss, sounds the miss cue");
    Expect(delta(Cue::Explode) == 0 && delta(Cue::Blip) == 0 && delta(Cue::Sound24) == 0 && delta(Cue::Sound25) == 0,
           "a key plays no other cue");
    const bool emptied = p.waveInPlay && !n.AnyIn(SlotState::Falling);
    Expect(n.scoreTimer == (p.scoreTimer || emptied), "the hit of a wave's last letter, and only it, starts the tally");
    Expect(n.running == p.running && n.round == p.round && n.step == p.step && n.message == p.message
               && n.messageVisible == p.messageVisible && n.roundTimer == p.roundTimer && n.explosions == p.explosions
               && n.waves == p.waves,
           "a key changes nothing of the rounds");
}

void Checker::Start()
{
    const Snapshot& p = m_prev;
    const Snapshot& n = m_now;
    Expect(n.focusCalls == p.focusCalls + 1, "VIA / DA CAPO moves the focus to the panel");
    if (!p.running) {
        ++tally.gamesStarted;
        Expect(n.running && n.round == 1 && n.step == 0 && n.startCaption == kStopCaption, "VIA starts round 1");
        Expect(n.total == 0 && n.totalText == "0", "a game starts with a score of \"0\"");
        const std::int16_t level = p.levels[0] ? kEasy : p.levels[1] ? kMedium : kHard;
        Expect(n.difficulty == level, "a game plays at the selected level");
        Settings stored;
        LoadSettings(stored, m_store);
        Expect(n.settings == stored, "a game starts with the stored settings");
        Expect(n.waves == p.waves + 1, "VIA launches one wave");
        CheckLaunch();
        m_score = 0;
        m_scoreText = "0";
        m_firstWaveOfGame = n.waves;
        m_roundsAtStart = n.settings.MaxRounds;
        m_mostRounds = n.settings.MaxRounds;
        m_roundsChanged = false;
    } else {
        ++tally.gamesStopped;
        Expect(!n.running && n.BoardEmpty(), "DA CAPO clears the board");
        Expect(!n.scoreTimer && !n.roundTimer && !n.explosions && n.step == 0,
               "DA CAPO stops the tally, the pause and the explosions");
        Expect(n.messageVisible && n.message == kPressStartText && n.startCaption == kStartCaption,
               "DA CAPO invites a new game");
        Expect(n.total == p.total && n.waves == p.waves && n.cues == p.cues, "DA CAPO keeps the score and is silent");
        m_marks.fill(std::nullopt);
        m_landedThisWave = 0;
    }
}

void Checker::Tick()
{
    ++tally.ticks;
    const Snapshot& p = m_prev;
    const Snapshot& n = m_now;
    const bool launched = n.waves != p.waves;
    bool moved = false;
    int landings = 0;
    int conversions = 0;
    int converted = -1;
    bool convertedStar = false;
    for (int i = 0; i < kSlots; ++i) {
        const SlotView& a = p.slot[i];
        const SlotView& b = n.slot[i];
        // The explosion timer fires before the tally at the same instant, so an explosion
        // may get its frame and turn into -10 in one step.
        if (b.picture != a.picture)
            Expect((a.state == SlotState::Landed || b.state == SlotState::Landed) && b.picture >= FirstExplosionFrame
                       && b.picture <= LastExplosionFrame,
                   "only a shown explosion changes its frame, always to one of the 15");
        if (launched)
            continue; // the new wave is checked as a whole below
        switch (a.state) {
        case SlotState::Falling:
            if (b.state == SlotState::Falling) {
                Expect(b.letter == a.letter && b.speed == a.speed, "a falling letter keeps its character and speed");
                Expect(b.letterTop == a.letterTop || b.letterTop == a.letterTop + static_cast<float>(a.speed),
                       "a letter moves by its speed");
                moved = moved || b.letterTop != a.letterTop;
            } else {
                const float top = a.letterTop + static_cast<float>(a.speed);
                Expect(b.state == SlotState::Landed && b.explodeTop == top && top > kBottomLimit,
                       "a letter leaves the field only by landing below the bottom limit",
                       [&] { return "slot " + std::to_string(i) + " top " + std::to_string(top); });
                ++landings;
                ++m_landedThisWave;
                m_marks[i] = -10;
                moved = true;
            }
            break;
        case SlotState::Hit:
            if (b.state == SlotState::Tallied) {
                ++conversions;
                converted = i;
                convertedStar = true;
                Expect(b.scoreTop == a.starTop && b.score == std::to_string(StarPoints(a.starTop)),
                       "a star turns into its points at its height");
            } else {
                Expect(b.state == SlotState::Hit && b.starTop == a.starTop, "a star stays until the tally");
            }
            break;
        case SlotState::Landed:
            if (b.state == SlotState::Tallied) {
                ++conversions;
                converted = i;
                Expect(b.scoreTop == a.explodeTop && b.score == "-10", "an explosion turns into -10 at its height");
            } else {
                Expect(b.state == SlotState::Landed && b.explodeTop == a.explodeTop,
                       "an explosion stays until the tally");
            }
            break;
        case SlotState::Tallied:
            if (b.state == SlotState::Free)
                Expect(n.step == 1 || (p.running && !n.running), "score labels go at the end of the round");
            else
                Expect(b.state == SlotState::Tallied && b.scoreTop == a.scoreTop && b.score == a.score,
                       "a score label stays as the tally wrote it");
            break;
        case SlotState::Free:
        case SlotState::Broken: Expect(b.state == a.state, "nothing appears on a free slot between waves"); break;
        }
    }
    if (moved) {
        for (int i = 0; i < kSlots; ++i) {
            const SlotView& a = p.slot[i];
            const SlotView& b = n.slot[i];
            if (a.state == SlotState::Falling && b.state == SlotState::Falling)
                Expect(b.letterTop == a.letterTop + static_cast<float>(a.speed), "every letter moves on the same tick");
        }
    }
    tally.landings += landings;
    Expect(conversions <= 1, "the tally turns one mark per step");
    if (conversions == 1) {
        Expect(p.scoreTimer && n.scoreTimer, "marks turn into points only during the tally");
        for (int j = 0; j < kSlots; ++j) {
            if (convertedStar)
                Expect(j >= converted || p.slot[j].state != SlotState::Hit, "stars are tallied from the left");
            else
                Expect(p.slot[j].state != SlotState::Hit && (j >= converted || p.slot[j].state != SlotState::Landed),
                       "explosions are tallied after every star, from the left");
        }
    }
    const auto delta = [&](Cue c) { return n.cues[static_cast<int>(c)] - p.cues[static_cast<int>(c)]; };
    Expect(delta(Cue::Explode) == landings, "one explosion cue per landing");
    Expect(delta(Cue::Blip) == conversions, "one blip per tallied mark");
    Expect(delta(Cue::LaserFire) == 0 && delta(Cue::Miss) == 0, "a landing is never a hit or a miss");
    if (landings > 0)
        Expect(n.explosions, "a landing starts the explosion animation");

    // The tally's final step.
    if (p.scoreTimer && !n.scoreTimer) {
        Expect(!p.AnyIn(SlotState::Hit) && !p.AnyIn(SlotState::Landed),
               "the tally adds up only when every mark is turned");
        Expect(n.roundTimer && !n.explosions, "the tally hands over to the pause");
        std::int16_t points = 0;
        for (const auto& mark : m_marks) {
            if (mark)
                points = Saturate(points + *mark);
        }
        m_score = Saturate(m_score + points);
        m_scoreText = Grouped(m_score, m_host.separator);
        m_marks.fill(std::nullopt);
    } else {
        Expect(n.total == p.total && n.totalText == p.totalText,
               "only the tally's last step changes the score on a tick");
    }

    // The pause between rounds.
    const bool gameOver = p.running && !n.running;
    const bool roundTicked = n.step != p.step || gameOver || launched;
    const int sound25 = static_cast<int>(delta(Cue::Sound25));
    const int sound24 = static_cast<int>(delta(Cue::Sound24));
    if (!roundTicked) {
        Expect(sound24 == 0 && sound25 == 0 && n.message == p.message && n.messageVisible == p.messageVisible
                   && n.round == p.round && n.running == p.running,
               "the rounds move only on the pause timer");
        return;
    }
    Expect(p.roundTimer && !p.scoreTimer, "the pause runs only after the tally");
    if (p.step == 0) {
        Expect(sound25 == 1 && sound24 == 0, "every round ends with its chime");
        Expect(!n.AnyIn(SlotState::Tallied), "the end of a round clears the score labels");
        if (gameOver) {
            ++tally.gamesFinished;
            Expect(p.round >= n.settings.MaxRounds, "a game ends only after its last round");
            Expect(n.messageVisible && n.message == kGameOverText && n.startCaption == kStartCaption && !n.roundTimer
                       && n.step == 0,
                   "the last round ends the game");
            const int waves = n.waves - m_firstWaveOfGame + 1;
            Expect(waves == p.round, "a game launches one wave per round");
            if (!m_roundsChanged)
                Expect(waves == std::max<int>(1, m_roundsAtStart), "a game of M rounds launches exactly M waves",
                       [&] { return std::to_string(waves) + " waves, MaxRounds " + std::to_string(m_roundsAtStart); });
        } else {
            Expect(p.round < n.settings.MaxRounds && n.step == 1 && n.round == p.round + 1,
                   "a round that is not the last leads to the next");
            Expect(n.messageVisible && n.message == "Il giro " + std::to_string(p.round) + " è finito",
                   "the end of a round is announced");
        }
    } else if (p.step == 1) {
        Expect(n.step == 2 && sound24 == 1 && sound25 == 0, "the next round is announced with its cue");
        const std::string expected = n.round < n.settings.MaxRounds    ? "Inizia il giro " + std::to_string(n.round)
                                     : n.round == n.settings.MaxRounds ? std::string(kLastRoundText)
                                                                       : p.message;
        Expect(n.messageVisible && n.message == expected, "the announcement names the round");
    } else {
        Expect(launched && n.waves == p.waves + 1 && n.step == 0 && n.round == p.round,
               "the pause ends with the next wave");
        Expect(!n.roundTimer && n.message == kPressStartText && sound24 == 0 && sound25 == 0,
               "the next wave ends the pause quietly");
    }
    if (launched)
        CheckLaunch();
}

void Checker::OptionsOpened(const FrmOptions& options)
{
    ++tally.optionsOpened;
    m_panelShown = false;
    m_applyEnabled = false;
    for (int e = 0; e < kEditors; ++e)
        m_labels[static_cast<std::size_t>(e)] = options.NumberLabel(static_cast<Editor>(e)).Caption;
    Expect(m_now.settings.EasyLow == m_prev.settings.EasyLow && m_now.settings.MaxRounds == m_prev.settings.MaxRounds
               && m_now.settings.HardHigh == m_prev.settings.HardHigh,
           "opening the options changes no number");
    for (int e = 0; e < kEditors; ++e) {
        const auto editor = static_cast<Editor>(e);
        const ScrollBar& bar = options.Bar(editor);
        const int setting = const_cast<FrmOptions&>(options).SettingOf(editor);
        Expect(bar.Value == std::clamp(setting, bar.Min, bar.Max), "each bar opens at its setting");
    }
    OptionsInvariants(options);
}

void Checker::OptionsStepped(const FrmOptions& options, const OptionStep& step)
{
    const Settings& before = m_prev.settings;
    const Settings& after = m_now.settings;
    for (int e = 0; e < kEditors; ++e) {
        const std::string& caption = options.NumberLabel(static_cast<Editor>(e)).Caption;
        if (caption != m_labels[static_cast<std::size_t>(e)]) {
            m_labels[static_cast<std::size_t>(e)] = caption;
            m_applyEnabled = true;
        }
    }
    const auto numbersSame = [&] {
        return before.EasyLow == after.EasyLow && before.EasyHigh == after.EasyHigh && before.MedLow == after.MedLow
               && before.MedHigh == after.MedHigh && before.HardLow == after.HardLow
               && before.HardHigh == after.HardHigh && before.MaxRounds == after.MaxRounds;
    };
    switch (step.kind) {
    case OptionStep::SetBar:
    case OptionStep::DragThumb:
        Expect(numbersSame() && before.KeySet == after.KeySet, "moving a bar changes no setting before an apply");
        break;
    case OptionStep::SelectOption:
        Expect(numbersSame(), "a key set changes no number");
        if (before.KeySet != after.KeySet)
            m_applyEnabled = true;
        Expect(after.KeySet[static_cast<std::size_t>(step.value)], "a chosen key set takes effect at once");
        break;
    case OptionStep::Apply: {
        ++tally.applies;
        m_applyEnabled = false;
        Settings stored;
        LoadSettings(stored, m_store);
        Expect(stored == after, "apply stores every setting");
        for (int e = 0; e < kEditors; ++e) {
            const auto editor = static_cast<Editor>(e);
            Expect(std::to_string(const_cast<FrmOptions&>(options).SettingOf(editor))
                       == options.NumberLabel(editor).Caption,
                   "apply takes the numbers shown");
        }
        break;
    }
    case OptionStep::MouseOnApply:
    case OptionStep::MouseOnClose:
    case OptionStep::Wait: Expect(before == after, "pointers change no setting"); break;
    }
    OptionsInvariants(options);
}

void Checker::OptionsInvariants(const FrmOptions& options)
{
    for (int e = 0; e < kEditors; ++e) {
        const auto editor = static_cast<Editor>(e);
        const ScrollBar& bar = options.Bar(editor);
        Expect(bar.Value >= bar.Min && bar.Value <= bar.Max, "a bar stays within its range");
        Expect(options.NumberLabel(editor).Caption == std::to_string(bar.Value), "each label shows its bar's value");
    }
    // Every change of a label enables apply; the model follows the labels from step to step.
    int selected = -1;
    int count = 0;
    for (int k = 0; k < kOptions; ++k) {
        if (options.Option1[k].Value) {
            selected = k;
            ++count;
        }
    }
    Expect(count == 1, "exactly one key set is selected");
    Expect(FirstTrue(m_now.settings.KeySet) == selected
               && std::count(m_now.settings.KeySet.begin(), m_now.settings.KeySet.end(), true) == 1,
           "the key set in use is the one selected");
    Expect(options.cmdApply.Enabled == m_applyEnabled, "apply is enabled exactly after a change");
}

void Checker::General()
{
    const Snapshot& n = m_now;
    Expect(m_ledger.problem.empty(), "the game's events tell what happened on the board",
           [&] { return m_ledger.problem; });
    Expect(m_ledger.started == tally.gamesStarted && m_ledger.finished == tally.gamesFinished
               && m_ledger.stopped == tally.gamesStopped,
           "each game's start and end are reported once", [&] {
               return std::to_string(m_ledger.started) + " started, " + std::to_string(m_ledger.finished)
                      + " finished, " + std::to_string(m_ledger.stopped) + " stopped reported";
           });
    int letters = 0;
    for (const SlotView& v : n.slot) {
        Expect(v.state != SlotState::Broken, "a slot shows at most one of letter, star, explosion and score");
        if (v.state == SlotState::Falling) {
            ++letters;
            Expect(v.letterTop <= kBottomLimit, "no visible letter lies below the bottom limit");
            Expect(CodePoints(v.letter) == 1, "a letter is one character");
        }
        if (v.state == SlotState::Landed)
            Expect(n.explosions, "shown explosions are animated");
        if (v.state == SlotState::Tallied)
            Expect(n.running && n.step == 0 && !n.waveInPlay, "score labels show only after a tally step");
    }
    Expect(n.waveInPlay == (letters > 0), "a wave is in play exactly while letters fall");
    Expect(n.step >= 0 && n.step <= 2, "the pause has steps 0 to 2 between events");
    Expect(n.letters && n.lettersInterval == m_lettersInterval,
           "the letter timer always runs, at the last wave's pace");
    Expect(n.scoreInterval == 500 && n.explosionsInterval == 300, "tally and explosions keep their pace");
    Expect(n.total == m_score && n.totalText == m_scoreText, "the score is what the hits, landings and misses made it",
           [&] { return "expected " + std::to_string(m_score) + " \"" + m_scoreText + "\""; });
    Expect(n.press == m_press && CodePoints(n.press) <= 1, "the key echo shows the key held, or nothing");
    Expect(std::count(n.levels.begin(), n.levels.end(), true) == 1, "exactly one level is selected");
    Expect(n.panelVisible == m_panelShown, "the panel hides while the options are open, and only then");
    if (!n.running) {
        Expect(n.step == 0 && !n.scoreTimer && !n.roundTimer && !n.explosions,
               "between games only the letter timer runs");
        Expect(n.BoardEmpty(), "between games the field is empty");
        Expect(n.messageVisible && (n.message == kPressStartText || n.message == kGameOverText)
                   && n.startCaption == kStartCaption,
               "between games the message invites a new one");
        return;
    }
    m_mostRounds = std::max(m_mostRounds, n.settings.MaxRounds);
    m_roundsChanged = m_roundsChanged || n.settings.MaxRounds != m_roundsAtStart;
    Expect(n.startCaption == kStopCaption, "during a game the button reads DA CAPO");
    Expect(n.difficulty == kEasy || n.difficulty == kMedium || n.difficulty == kHard, "a game has a level");
    Expect(n.round >= 1 && n.round <= std::max<int>(1, m_mostRounds), "the round number stays within the game",
           [&] { return "most rounds " + std::to_string(m_mostRounds); });
    Expect(n.waves - m_firstWaveOfGame + 1 == n.round - (n.step > 0 ? 1 : 0), "one wave per round");
    if (n.step == 0) {
        if (letters > 0) {
            Expect(!n.scoreTimer && !n.roundTimer && n.explosions == (m_landedThisWave > 0) && !n.messageVisible,
                   "falling: letter timer, and explosions once a letter has landed");
        } else if (n.scoreTimer) {
            Expect(!n.roundTimer && n.explosions == (m_landedThisWave > 0) && !n.messageVisible,
                   "tally: the score timer, explosions still animated");
        } else {
            Expect(n.roundTimer && n.roundInterval == 1000 && !n.explosions && !n.messageVisible
                       && !n.AnyIn(SlotState::Hit) && !n.AnyIn(SlotState::Landed),
                   "after the tally the pause waits one second");
        }
    } else {
        Expect(n.roundTimer && n.roundInterval == (n.step == 1 ? 3000 : 1000) && !n.scoreTimer && !n.explosions,
               "the pause runs on its timer, 3 s after the end of a round and 1 s after the announcement");
        Expect(n.BoardEmpty() && n.messageVisible, "the pause shows its message on an empty field");
        if (n.step == 1)
            Expect(n.message == "Il giro " + std::to_string(n.round - 1) + " è finito", "the finished round is named");
    }
}

// ---- The game's events ---------------------------------------------------------------

void EventLedger::Break(const std::string& what)
{
    if (problem.empty())
        problem = what;
}

void EventLedger::GameStarted(std::int16_t level, std::int16_t rounds, int keySet)
{
    ++started;
    if (m_inGame)
        Break("a game started while one was under way");
    if (level != m_form.Difficulty || rounds != m_settings.MaxRounds)
        Break("a game started with a level or a number of rounds that it does not play");
    if (keySet < kNoKeySet || keySet > KeyAll || (keySet >= 0 && !m_settings.KeySet[keySet]))
        Break("a game started with a key set that is not chosen");
    m_inGame = true;
    m_total = 0;
    m_nextRound = 1;
}

void EventLedger::Launched(int slot, const std::string& character)
{
    if (m_falling[slot])
        Break("slot " + std::to_string(slot) + " launched while its character still fell");
    m_falling[slot] = character;
}

void EventLedger::Ends(int slot, const std::string& character, const char* how)
{
    if (!m_falling[slot] || *m_falling[slot] != character)
        Break(std::string(how) + " of \"" + character + "\" in slot " + std::to_string(slot)
              + ", which had no such character falling");
    m_falling[slot].reset();
}

void EventLedger::Hit(const std::string& character, int slot, float height, int ticks)
{
    Ends(slot, character, "a hit");
    if (ticks < 0 || height < 0 || height > kBottomLimit)
        Break("a hit at height " + std::to_string(height) + " after " + std::to_string(ticks) + " ticks");
}

void EventLedger::Missed(const std::string& /*character*/, const std::string& /*meantFor*/)
{
    if (m_inGame)
        m_total = Saturate(m_total - kMissPenalty);
}

void EventLedger::Landed(int slot, const std::string& character)
{
    Ends(slot, character, "a landing");
}

void EventLedger::RoundScored(std::int16_t round, int points)
{
    if (round != m_nextRound)
        Break("round " + std::to_string(round) + " scored where round " + std::to_string(m_nextRound) + " was due");
    m_nextRound = static_cast<std::int16_t>(round + 1);
    m_total = Saturate(m_total + points);
}

void EventLedger::GameEnded(std::int16_t total, bool finishedGame)
{
    if (!m_inGame)
        Break("a game ended that never started");
    if (total != m_form.TotalScore || total != m_total)
        Break("a game ended with " + std::to_string(total) + ", the board shows " + std::to_string(m_form.TotalScore)
              + " and its events made " + std::to_string(m_total));
    const bool anyFalling =
        std::any_of(m_falling.begin(), m_falling.end(), [](const auto& f) { return f.has_value(); });
    if (finishedGame && anyFalling)
        Break("a game finished with characters still falling");
    // A stop clears the board: whatever still fell is gone with the game.
    m_falling.fill(std::nullopt);
    m_inGame = false;
    ++(finishedGame ? finished : stopped);
}

// ---- The rig --------------------------------------------------------------------------

Rig::Rig(std::uint64_t seed, std::string separator)
    : m_random(seed), m_form(m_settings, m_store, m_random, m_cues, m_host), m_clock(m_form)
{
    m_host.separator = std::move(separator);
    m_host.whileOptionsOpen = [this] { RunOptions(*m_current); };
    m_form.SetEvents(m_ledger);
    m_checker = std::make_unique<Checker>(m_form, m_settings, m_store, m_cues, m_host, m_ledger);
    m_form.Form_Load();
    m_form.Form_Activate();
    m_checker->Observe(Checker::StepKind::Load);
}

Rig::~Rig() = default;

const std::optional<Failure>& Rig::failure() const
{
    return m_checker->failure;
}

const Tally& Rig::tally() const
{
    return m_checker->tally;
}

void Rig::Advance(std::int64_t ms)
{
    const std::int64_t end = m_clock.Now() + ms;
    for (;;) {
        const std::int64_t next = m_clock.NextDue();
        if (next < 0 || next > end || m_checker->failure)
            break;
        m_clock.Advance(next - m_clock.Now());
        if (tamper)
            tamper(m_form);
        m_checker->Observe(Checker::StepKind::Tick);
    }
    if (!m_checker->failure)
        m_clock.Advance(end - m_clock.Now());
    m_checker->tally.simulatedMs += ms;
}

void Rig::RunOptions(const Event& event)
{
    FrmOptions window(m_settings, m_store, m_modal);
    m_options = &window;
    m_modal.open = true;
    window.Form_Load();
    m_checker->Observe(Checker::StepKind::OptionsOpen, 0, 0, &window);
    for (const OptionStep& step : event.options) {
        if (m_checker->failure || !m_modal.open)
            break;
        const auto editor = static_cast<Editor>(step.editor);
        switch (step.kind) {
        case OptionStep::SetBar: window.SetBarValue(editor, step.value); break;
        case OptionStep::DragThumb: {
            const ScrollBar& bar = window.Bar(editor);
            window.DragThumb(editor, std::clamp(step.value, bar.Min, bar.Max));
            break;
        }
        case OptionStep::SelectOption: window.SelectOption(step.value); break;
        case OptionStep::Apply:
            // A disabled button takes no click.
            if (!window.cmdApply.Enabled)
                continue;
            window.cmdApply_Click();
            break;
        case OptionStep::MouseOnApply:
            if (step.value)
                window.MousePressOn(window.cmdApply);
            else
                window.MouseMoveOn(window.cmdApply);
            break;
        case OptionStep::MouseOnClose:
            if (step.value)
                window.MousePressOn(window.cmdClose);
            else
                window.MouseMoveOn(window.cmdClose);
            break;
        case OptionStep::Wait: Advance(step.value); continue;
        }
        if (tamper)
            tamper(m_form);
        m_checker->Observe(Checker::StepKind::OptionsStep, 0, 0, &window, &step);
    }
    if (m_modal.open)
        window.cmdClose_Click();
    m_options = nullptr;
}

bool Rig::Apply(const Event& event)
{
    if (m_checker->failure)
        return false;
    ++m_checker->tally.events;
    using K = Checker::StepKind;
    K kind = K::Tick;
    switch (event.kind) {
    case Event::KeyPress:
        m_form.Form_KeyPress(static_cast<char32_t>(event.value));
        kind = K::KeyPress;
        break;
    case Event::KeyDown:
        m_form.Form_KeyDown(static_cast<std::int16_t>(event.value), static_cast<std::int16_t>(event.shift));
        kind = K::KeyDown;
        break;
    case Event::KeyUp:
        m_form.Form_KeyUp(static_cast<std::int16_t>(event.value), static_cast<std::int16_t>(event.shift));
        kind = K::KeyUp;
        break;
    case Event::Wait: Advance(event.value); break;
    case Event::StartStop:
        m_form.cmdStart_Click();
        kind = K::Start;
        break;
    case Event::Exit:
        m_form.cmdExit_Click();
        kind = K::Exit;
        break;
    case Event::Difficulty:
        m_form.optDifficulty_Click(static_cast<std::int16_t>(event.value));
        kind = K::Difficulty;
        break;
    case Event::Activate:
        m_form.Form_Activate();
        kind = K::Activate;
        break;
    case Event::Pointer: {
        using Handler = void (FrmMain::*)();
        constexpr std::array<std::array<Handler, 2>, 3> kHandlers{{
            {&FrmMain::cmdAdvanced_MouseMove, &FrmMain::cmdAdvanced_MouseDown},
            {&FrmMain::cmdStart_MouseMove, &FrmMain::cmdStart_MouseDown},
            {&FrmMain::cmdExit_MouseMove, &FrmMain::cmdExit_MouseDown},
        }};
        (m_form.*kHandlers[static_cast<std::size_t>(event.value)][event.shift ? 1 : 0])();
        kind = K::Pointer;
        break;
    }
    case Event::EditStore:
        for (const auto& [row, text] : event.edits)
            m_store.Set(kRows[static_cast<std::size_t>(row)].first, kRows[static_cast<std::size_t>(row)].second, text);
        m_store.Sync();
        kind = K::EditStore;
        break;
    case Event::Options:
        m_current = &event;
        m_form.cmdAdvanced_Click();
        m_current = nullptr;
        if (tamper)
            tamper(m_form);
        m_checker->Observe(K::OptionsClose);
        // The platform hands activation back to the main window.
        m_form.Form_Activate();
        kind = K::Activate;
        break;
    }
    if (event.kind != Event::Wait) {
        if (tamper)
            tamper(m_form);
        m_checker->Observe(kind, event.value, event.shift);
    }
    if (!m_checker->failure)
        ++m_checker->eventIndex;
    return !m_checker->failure;
}

// ---- The generator --------------------------------------------------------------------

namespace {

// Event kinds in the order of the weight tables below.
constexpr std::array<Event::Kind, 11> kKinds{Event::KeyPress,  Event::KeyDown,   Event::KeyUp,      Event::Wait,
                                             Event::StartStop, Event::Exit,      Event::Difficulty, Event::Activate,
                                             Event::Pointer,   Event::EditStore, Event::Options};
// Out of a game the player mostly starts one; during a game stops are rare enough that most
// games are played to their end.
constexpr std::array<double, 11> kIdleWeights{22, 8, 8, 30, 12, 0.3, 6, 1, 2, 2, 1.5};
constexpr std::array<double, 11> kPlayingWeights{42, 9, 9, 34, 0.04, 0.05, 2, 0.5, 1.5, 0.2, 0.4};

} // namespace

Generator::Generator(std::uint64_t seed)
    : m_rng(seed), m_idle(kIdleWeights.begin(), kIdleWeights.end()),
      m_playing(kPlayingWeights.begin(), kPlayingWeights.end())
{
}

char32_t Generator::TypedCharacter(const Rig& rig)
{
    std::vector<char> falling;
    for (const Label& letter : rig.form().lblLetter) {
        if (letter.Visible && letter.Caption.size() == 1)
            falling.push_back(letter.Caption[0]);
    }
    const int roll = Pick(100);
    if (!falling.empty() && roll < 55)
        return static_cast<unsigned char>(falling[static_cast<std::size_t>(Pick(static_cast<int>(falling.size())))]);
    if (!falling.empty() && roll < 62) {
        // The same letter in the other case: a miss, since case counts.
        const char c = falling[static_cast<std::size_t>(Pick(static_cast<int>(falling.size())))];
        return static_cast<unsigned char>(IsUpper(c) ? c + 32 : IsLower(c) ? c - 32 : c);
    }
    const int kind = Pick(20);
    if (kind < 5)
        return static_cast<char32_t>(Between('A', 'Z'));
    if (kind < 10)
        return static_cast<char32_t>(Between('a', 'z'));
    if (kind < 13)
        return static_cast<char32_t>(Between('0', '9'));
    if (kind < 17) {
        constexpr std::array<char32_t, 7> kSpecial{U'"', U' ', 13, 27, 8, 9, U'\''};
        return kSpecial[static_cast<std::size_t>(Pick(static_cast<int>(kSpecial.size())))];
    }
    if (kind < 19)
        return static_cast<char32_t>(Between(128, 255));
    return static_cast<char32_t>(Between(0, 0xFFFF));
}

int Generator::KeyCode()
{
    const int kind = Pick(20);
    if (kind < 6)
        return Between(65, 90);
    if (kind < 9)
        return Between(48, 57);
    if (kind < 11)
        return Between(96, 105); // keypad digits
    if (kind < 14)
        return 16; // Shift
    if (kind < 16) {
        constexpr std::array<int, 8> kOther{32, 13, 27, 8, 17, 18, 20, 9};
        return kOther[static_cast<std::size_t>(Pick(static_cast<int>(kOther.size())))];
    }
    if (kind < 18)
        return Between(112, 123); // F1..F12
    if (kind < 19)
        return Between(0, 255);
    return Between(-32768, 32767);
}

int Generator::WaitMs()
{
    const int roll = Pick(1000);
    if (roll < 60)
        return 0;
    if (roll < 600)
        return Between(1, 100);
    if (roll < 930)
        return Between(100, 1000);
    if (roll < 999)
        return Between(1000, 6000);
    return Between(60'000, 600'000); // the player walks away for minutes
}

Event Generator::StoreEdit()
{
    Event event{Event::EditStore};
    const int count = Between(1, 12);
    for (int n = 0; n < count; ++n) {
        const int row = Pick(12);
        std::string text;
        const int roll = Pick(100);
        if (row < 6) {
            if (roll < 75) {
                text = std::to_string(Between(1, 60));
            } else if (roll < 95) {
                constexpr std::array<const char*, 12> kOdd{"0",   "-5", "500", "2.5", "1e2",  " 7 ",
                                                           "abc", "",   "-0",  "+3",  "0x10", "1, 2"};
                text = kOdd[static_cast<std::size_t>(Pick(static_cast<int>(kOdd.size())))];
            } else {
                text = std::to_string(Between(-32768, 32767));
            }
        } else if (row == 6) {
            if (roll < 80) {
                text = std::to_string(Between(1, 10));
            } else {
                constexpr std::array<const char*, 8> kOdd{"0", "-1", "32767", "-32768", "3.5", "x", "", "20"};
                text = kOdd[static_cast<std::size_t>(Pick(static_cast<int>(kOdd.size())))];
            }
        } else {
            constexpr std::array<const char*, 9> kBooleans{"True", "False", "true", "FALSE", "1", "0", "yes", "", "2"};
            text = kBooleans[static_cast<std::size_t>(Pick(static_cast<int>(kBooleans.size())))];
        }
        event.edits.emplace_back(row, std::move(text));
    }
    return event;
}

Event Generator::OptionsVisit()
{
    Event event{Event::Options};
    const int count = Between(0, 25);
    for (int n = 0; n < count; ++n) {
        OptionStep step{OptionStep::Wait};
        const int roll = Pick(100);
        step.editor = Pick(kEditors);
        const int max = step.editor == 0 ? 20 : 500;
        if (roll < 30) {
            step.kind = OptionStep::SetBar;
            const int where = Pick(10);
            step.value = where < 7 ? Between(1, max) : where < 9 ? (Pick(2) ? 0 : max + 1) : Between(-1000, 1000);
        } else if (roll < 50) {
            step.kind = OptionStep::DragThumb;
            step.value = Between(1, max);
        } else if (roll < 65) {
            step.kind = OptionStep::SelectOption;
            step.value = Pick(kOptions);
        } else if (roll < 78) {
            step.kind = OptionStep::Apply;
        } else if (roll < 84) {
            step.kind = OptionStep::MouseOnApply;
            step.value = Pick(2);
        } else if (roll < 88) {
            step.kind = OptionStep::MouseOnClose;
            step.value = Pick(2);
        } else {
            step.kind = OptionStep::Wait;
            step.value = Pick(10) == 0 ? Between(1000, 8000) : Between(0, 600);
        }
        event.options.push_back(step);
    }
    return event;
}

Event Generator::Next(const Rig& rig)
{
    const Event::Kind kind =
        kKinds[static_cast<std::size_t>(rig.form().GameRunning ? m_playing(m_rng) : m_idle(m_rng))];
    switch (kind) {
    case Event::KeyPress: return {kind, static_cast<int>(TypedCharacter(rig))};
    case Event::KeyDown:
    case Event::KeyUp: return {kind, KeyCode(), Pick(8)};
    case Event::Wait: return {kind, WaitMs()};
    case Event::Difficulty: {
        constexpr std::array<int, 6> kInvalid{-1, 3, 4, 100, -32768, 32767};
        return {kind, Pick(10) < 8 ? Pick(3) : kInvalid[static_cast<std::size_t>(Pick(6))]};
    }
    case Event::Pointer: return {kind, Pick(3), Pick(2)};
    case Event::EditStore: return StoreEdit();
    case Event::Options: return OptionsVisit();
    default: return {kind};
    }
}

// ---- Sessions, replays and shrinking --------------------------------------------------

namespace {

std::string SeparatorFor(std::uint64_t seed)
{
    // Some users group thousands with a dot, some with a comma, an apostrophe, a (narrow)
    // no-break space, or not at all.
    constexpr std::array<const char*, 6> kSeparators{".", ",", "'", "\xC2\xA0", "\xE2\x80\xAF", ""};
    return kSeparators[seed % kSeparators.size()];
}

} // namespace

SessionResult PlaySession(std::uint64_t seed, std::int64_t count, const std::function<void(FrmMain&)>& tamper)
{
    SessionResult result;
    result.seed = seed;
    result.separator = SeparatorFor(seed);
    Generator generator(seed * 0x9E3779B97F4A7C15ULL + 1);
    Rig rig(seed, result.separator);
    rig.tamper = tamper;
    result.events.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count && !rig.failure(); ++i) {
        result.events.push_back(generator.Next(rig));
        rig.Apply(result.events.back());
    }
    result.failure = rig.failure();
    result.tally = rig.tally();
    return result;
}

std::optional<Failure> Replay(std::uint64_t seed, const std::string& separator, const std::vector<Event>& events,
                              const std::function<void(FrmMain&)>& tamper)
{
    Rig rig(seed, separator);
    rig.tamper = tamper;
    for (const Event& event : events) {
        if (!rig.Apply(event))
            break;
    }
    return rig.failure();
}

std::vector<Event> Shrink(const SessionResult& failed, const std::function<void(FrmMain&)>& tamper, int maxReplays)
{
    std::vector<Event> events = failed.events;
    if (!failed.failure)
        return events;
    const std::string rule = failed.failure->rule;
    int replays = 0;
    // True when `candidate` still breaks the same rule; then it is cut after the failing event.
    const auto stillFails = [&](std::vector<Event>& candidate) {
        ++replays;
        const auto failure = Replay(failed.seed, failed.separator, candidate, tamper);
        if (!failure || failure->rule != rule)
            return false;
        if (failure->eventIndex + 1 < candidate.size())
            candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(failure->eventIndex + 1), candidate.end());
        return true;
    };

    for (std::size_t tail = 1; tail < events.size(); tail *= 2) {
        std::vector<Event> candidate(events.end() - static_cast<std::ptrdiff_t>(tail), events.end());
        if (stillFails(candidate)) {
            events = std::move(candidate);
            break;
        }
    }
    bool progress = true;
    while (progress && replays < maxReplays) {
        progress = false;
        for (std::size_t chunk = std::max<std::size_t>(events.size() / 2, 1); chunk >= 1 && replays < maxReplays;
             chunk /= 2) {
            for (std::size_t start = 0; start < events.size() && replays < maxReplays;) {
                std::vector<Event> candidate;
                candidate.reserve(events.size());
                candidate.insert(candidate.end(), events.begin(), events.begin() + static_cast<std::ptrdiff_t>(start));
                candidate.insert(candidate.end(),
                                 events.begin() + static_cast<std::ptrdiff_t>(std::min(start + chunk, events.size())),
                                 events.end());
                if (!candidate.empty() && stillFails(candidate)) {
                    events = std::move(candidate);
                    progress = true;
                } else {
                    start += chunk;
                }
            }
            if (chunk == 1)
                break;
        }
        // Waits in a row become one.
        for (std::size_t i = 0; i + 1 < events.size() && replays < maxReplays;) {
            if (events[i].kind != Event::Wait || events[i + 1].kind != Event::Wait) {
                ++i;
                continue;
            }
            std::vector<Event> candidate = events;
            candidate[i].value += candidate[i + 1].value;
            candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(i + 1));
            if (stillFails(candidate)) {
                events = std::move(candidate);
                progress = true;
            } else {
                ++i;
            }
        }
        // Inside the options window, single steps.
        for (std::size_t i = 0; i < events.size() && replays < maxReplays; ++i) {
            for (std::size_t s = 0; s < events[i].options.size() && replays < maxReplays;) {
                std::vector<Event> candidate = events;
                candidate[i].options.erase(candidate[i].options.begin() + static_cast<std::ptrdiff_t>(s));
                if (stillFails(candidate) && candidate.size() > i) {
                    events = std::move(candidate);
                    progress = true;
                } else {
                    ++s;
                }
            }
        }
    }
    return events;
}

// ---- A day of play --------------------------------------------------------------------

DayResult PlayDay(std::uint64_t seed, double hours)
{
    DayResult result;
    std::mt19937_64 rng(seed);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    const auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Rig rig(seed);
    const auto end = static_cast<std::int64_t>(hours * 3600.0 * 1000.0);
    std::vector<Event>& events = result.lastEvents;
    const auto act = [&](Event event) {
        events.push_back(std::move(event));
        return rig.Apply(events.back());
    };
    double accuracy = 0.9;
    double reaction = 500;
    bool ok = true;
    while (ok && rig.clock().Now() < end) {
        const FrmMain& form = rig.form();
        if (!form.GameRunning) {
            events.clear();
            ok = act({Event::Wait, between(300, 8000)});
            if (ok && between(0, 9) == 0) {
                // Between games the player sometimes tunes the options.
                Event visit{Event::Options};
                visit.options.emplace_back(OptionStep::DragThumb, 0, between(1, 12));
                for (int e = 1; e < kEditors; e += 2) {
                    const int low = between(5, 80);
                    visit.options.emplace_back(OptionStep::DragThumb, e, low);
                    visit.options.emplace_back(OptionStep::DragThumb, e + 1, low + between(0, 80));
                }
                visit.options.emplace_back(OptionStep::SelectOption, 0, between(0, kOptions - 1));
                visit.options.emplace_back(OptionStep::Apply);
                ok = act(std::move(visit));
            }
            ok = ok && act({Event::Difficulty, between(0, 2)}) && act({Event::StartStop});
            accuracy = uniform(0.5, 1.0);
            reaction = uniform(150, 1200);
            continue;
        }
        ok = act({Event::Wait, static_cast<int>(reaction * uniform(0.5, 1.5))});
        if (!ok || !form.GameRunning)
            continue;
        if (between(0, 9999) < 3) {
            ok = act({Event::StartStop}); // gives up
            continue;
        }
        std::vector<char> falling;
        for (const Label& letter : form.lblLetter) {
            if (letter.Visible)
                falling.push_back(letter.Caption[0]);
        }
        if (falling.empty())
            continue;
        char typed = falling[static_cast<std::size_t>(between(0, static_cast<int>(falling.size()) - 1))];
        if (uniform(0, 1) > accuracy)
            typed = static_cast<char>(between('0', 'z'));
        const int keyCode = IsLower(typed) ? typed - 32 : typed;
        const bool shifted = IsUpper(typed);
        if (shifted)
            ok = act({Event::KeyDown, 16, 1});
        ok = ok && act({Event::KeyDown, keyCode, shifted ? 1 : 0}) && act({Event::KeyPress, typed})
             && act({Event::KeyUp, keyCode, shifted ? 1 : 0});
        if (ok && shifted)
            ok = act({Event::KeyUp, 16, 0});
    }
    result.failure = rig.failure();
    result.tally = rig.tally();
    if (!result.failure)
        result.lastEvents.clear();
    return result;
}

} // namespace keyfall::stress
