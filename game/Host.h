#pragma once
// What the game asks of the world outside it. The Qt layer implements these; tests hand in
// doubles that record every call.

#include <string>
#include <string_view>

namespace keyfall {

enum class Cue { Explode, LaserFire, Miss, Blip, Sound24, Sound25 };

// The wave file of a cue, as it lies beside the executable.
std::string_view CueFileName(Cue cue);

class CuePlayer {
public:
    virtual ~CuePlayer() = default;
    // Starts the cue and returns at once; a cue that cannot be played is silence.
    virtual void PlayCue(Cue cue) = 0;
};

struct ScreenTwips {
    float Width = 0;
    float Height = 0;
};

class Host {
public:
    virtual ~Host() = default;
    virtual ScreenTwips ScreenSize() const = 0;
    // The user's thousands separator (UTF-8), for the score display.
    virtual std::string GroupSeparator() const = 0;
    // Moves the keyboard focus to the control panel.
    virtual void FocusPanel() = 0;
    // Opens the options window and returns when it has been closed.
    virtual void ShowOptionsModal() = 0;
    // Ends the program at once, saving nothing.
    virtual void Quit() = 0;
};

} // namespace keyfall
