#pragma once
// The state of the controls that the window handlers touch, as plain data. The Qt layer
// mirrors it onto widgets after every event; tests read it directly.
// Positions and sizes are twips (15 per logical pixel) relative to the control's container.

#include <string>

namespace keyfall {

struct Control {
    float Left = 0;
    float Top = 0;
    float Width = 0;
    float Height = 0;
    bool Visible = true;
    bool Enabled = true;

    bool operator==(const Control&) const = default;
};

struct Label : Control {
    std::string Caption; // UTF-8

    bool operator==(const Label&) const = default;
};

// Resource numbers of pictures and cursors.
enum Resource : int {
    NoPicture = 0,
    FirstExplosionFrame = 101, // explosion frames are 101..115
    LastExplosionFrame = 115,
    OpenHandCursor = 101,
    ClosedHandCursor = 102,
};

struct Image : Control {
    int Picture = NoPicture;

    bool operator==(const Image&) const = default;
};

struct Button : Control {
    std::string Caption;
    int MouseIcon = NoPicture; // the button's own pointer: none (default arrow) or a hand cursor
};

struct OptionButton : Control {
    std::string Caption;
    bool Value = false;
};

// A periodic timer as the handlers see it. The host runs it: a real timer in the program, a
// virtual clock in tests. Enabling a running timer changes nothing; a new interval restarts
// the countdown. Epoch() changes whenever a countdown (re)starts, which is all a driver needs
// to compare.
class Timer {
public:
    Timer(int interval, bool enabled) : m_interval(interval), m_enabled(enabled) {}

    bool Enabled() const { return m_enabled; }
    int Interval() const { return m_interval; }
    // Ticks happen only while enabled with an interval above 0.
    bool Running() const { return m_enabled && m_interval > 0; }
    unsigned Epoch() const { return m_epoch; }

    void SetEnabled(bool enabled)
    {
        if (enabled && !m_enabled)
            ++m_epoch;
        m_enabled = enabled;
    }
    void SetInterval(int interval)
    {
        if (interval != m_interval)
            ++m_epoch;
        m_interval = interval;
    }

private:
    int m_interval;
    bool m_enabled;
    unsigned m_epoch = 0;
};

} // namespace keyfall
