#pragma once
// Test doubles of the game's outside world: they record what the game asked for.

#include "game/FrmMain.h"
#include "game/VirtualClock.h"
#include "options/FrmOptions.h"
#include "settings/MemoryStore.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace keyfall::test {

class RecordingCues : public CuePlayer {
public:
    void PlayCue(Cue cue) override { played.push_back(cue); }
    std::vector<Cue> played;
};

// Every game event, in order, with its arguments (fields that a kind does not use stay 0).
class RecordingEvents : public GameEvents {
public:
    enum Kind { Started, Launch, Hit_, Miss, Landing, Round, Ended };
    struct Event {
        Kind kind{};
        std::string character;
        int slot = 0;
        float height = 0;
        int ticks = 0;
        int level = 0;
        int rounds = 0;
        int keySet = 0;
        int round = 0;
        int points = 0;
        int total = 0;
        bool finished = false;
        std::string meantFor{};
    };

    void GameStarted(std::int16_t level, std::int16_t rounds, int keySet) override
    {
        events.push_back({.kind = Started, .character = {}, .level = level, .rounds = rounds, .keySet = keySet});
    }
    void Launched(int slot, const std::string& character) override
    {
        events.push_back({.kind = Launch, .character = character, .slot = slot});
    }
    void Hit(const std::string& character, int slot, float height, int ticks) override
    {
        events.push_back({.kind = Hit_, .character = character, .slot = slot, .height = height, .ticks = ticks});
    }
    void Missed(const std::string& character, const std::string& meantFor) override
    {
        Event miss{.kind = Miss, .character = character};
        miss.meantFor = meantFor;
        events.push_back(miss);
    }
    void Landed(int slot, const std::string& character) override
    {
        events.push_back({.kind = Landing, .character = character, .slot = slot});
    }
    void RoundScored(std::int16_t round, int points) override
    {
        events.push_back({.kind = Round, .character = {}, .round = round, .points = points});
    }
    void GameEnded(std::int16_t total, bool finished) override
    {
        events.push_back({.kind = Ended, .character = {}, .total = total, .finished = finished});
    }

    int Count(Kind kind) const
    {
        return static_cast<int>(
            std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
    }

    std::vector<Event> events;
};

class FakeHost : public Host {
public:
    ScreenTwips ScreenSize() const override { return screen; }
    std::string GroupSeparator() const override { return separator; }
    void FocusPanel() override { ++focusPanelCalls; }
    void ShowOptionsModal() override
    {
        ++optionsOpened;
        if (whileOptionsOpen)
            whileOptionsOpen();
    }
    void Quit() override { ++quitCalls; }

    ScreenTwips screen{1024 * 15.0f, 768 * 15.0f};
    std::string separator = ".";
    int focusPanelCalls = 0;
    int optionsOpened = 0;
    int quitCalls = 0;
    std::function<void()> whileOptionsOpen;
};

class RecordingOptionsHost : public OptionsHost {
public:
    void Unload() override { ++unloads; }
    int unloads = 0;
};

// A main window with recording doubles around it, loaded and ready.
struct Game {
    explicit Game(std::uint64_t seed = 1) : random(seed), form(settings, store, random, cues, host), clock(form)
    {
        form.SetEvents(events);
    }

    void Load() { form.Form_Load(); }
    int VisibleLetters() const
    {
        int n = 0;
        for (const auto& l : form.lblLetter)
            n += l.Visible ? 1 : 0;
        return n;
    }
    // Lets `whileOpen` work with a freshly loaded options window each time the game opens
    // one, as the real host does; the window closes through its own close button.
    void OnOptionsOpen(std::function<void(FrmOptions&)> whileOpen)
    {
        host.whileOptionsOpen = [this, whileOpen] {
            RecordingOptionsHost optionsHost;
            FrmOptions options(settings, store, optionsHost);
            options.Form_Load();
            whileOpen(options);
            options.cmdClose_Click();
        };
    }
    // Types the character of every falling letter once.
    void TypeAllFalling()
    {
        for (const auto& l : form.lblLetter) {
            if (l.Visible)
                form.Form_KeyPress(static_cast<unsigned char>(l.Caption[0]));
        }
    }

    Settings settings;
    MemoryStore store;
    Random random;
    RecordingCues cues;
    RecordingEvents events;
    FakeHost host;
    FrmMain form;
    VirtualClock clock;
};

} // namespace keyfall::test
