#pragma once
// Mirrors the window's four timers onto precise QTimers. After every handler the owner calls
// Sync(): a timer that was stopped or got a new interval starts counting afresh; a running
// one that was merely enabled again keeps its rhythm. An interval of 0 means stopped.
// A timer may also name when its ticks matter: while they would change nothing, its QTimer
// is stopped, so that a window waiting for the player wakes nobody.

#include "game/Controls.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

namespace keyfall {

class TimerDriver : public QObject {
    Q_OBJECT
public:
    using Tick = std::function<void()>;
    using Wanted = std::function<bool()>;

    explicit TimerDriver(QObject* parent = nullptr);
    // Drives `timer` with a QTimer that calls `tick` on each timeout, while `wanted` (if
    // given) says the ticks matter; it is asked at every Sync().
    void Add(Timer& timer, Tick tick, Wanted wanted = {});
    void Sync();
    // While held, no timer ticks, whatever the game's timers say; released, each starts a full
    // interval afresh at the next Sync(). A pause holds them.
    void SetHeld(bool held);
    bool Held() const { return m_held; }

private:
    struct Entry {
        Timer* timer;
        QTimer* qtimer;
        Wanted wanted;
        unsigned epoch;
    };
    std::vector<Entry> m_entries;
    bool m_held = false;
};

} // namespace keyfall
