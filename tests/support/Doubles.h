#pragma once
// Test doubles of the game's outside world: they record what the game asked for.

#include "game/FrmMain.h"
#include "game/VirtualClock.h"
#include "options/FrmOptions.h"
#include "settings/MemoryStore.h"

#include <functional>
#include <string>
#include <vector>

namespace keyfall::test {

class RecordingCues : public CuePlayer {
public:
    void PlayCue(Cue cue) override { played.push_back(cue); }
    std::vector<Cue> played;
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
    explicit Game(std::uint64_t seed = 1) : random(seed), form(settings, store, random, cues, host), clock(form) {}

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
    FakeHost host;
    FrmMain form;
    VirtualClock clock;
};

} // namespace keyfall::test
