#pragma once
// Mirrors the window's four timers onto precise QTimers. After every handler the owner calls
// Sync(): a timer that was stopped or got a new interval starts counting afresh; a running
// one that was merely enabled again keeps its rhythm. An interval of 0 means stopped.
// A timer may also name when its ticks matter: while they would change nothing, its QTimer
// is stopped, so that a window waiting for the player wakes nobody. And it may name when its
// ticks would only count (letters that stand still are timed by the ticks, but a tick moves
// none of them): then its QTimer is stopped as well, and the ticks that would have come are
// counted on the steady clock and handed over when CatchUp() asks, before a handler that
// reads them.

#include "game/Controls.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

namespace keyfall {

class TimerDriver : public QObject {
    Q_OBJECT
public:
    using Tick = std::function<void()>;
    using Wanted = std::function<bool()>;
    using Passed = std::function<void(std::int64_t ticks)>;

    explicit TimerDriver(QObject* parent = nullptr);
    // Drives `timer` with a QTimer that calls `tick` on each timeout, while `wanted` (if
    // given) says the ticks matter; while `onlyCount` (if given) says they would only count,
    // the ticks are not run but handed to `passed` by CatchUp(). Both are asked at every Sync().
    void Add(Timer& timer, Tick tick, Wanted wanted = {}, Wanted onlyCount = {}, Passed passed = {});
    void Sync();
    // Hands every timer that only counts the whole ticks that have passed since it began to,
    // or since it last handed them over.
    void CatchUp();
    // While held, no timer ticks, whatever the game's timers say; released, each starts a full
    // interval afresh at the next Sync(). A pause holds them, and its time is never counted.
    void SetHeld(bool held);
    bool Held() const { return m_held; }

private:
    struct Entry {
        Timer* timer;
        QTimer* qtimer;
        Wanted wanted;
        Wanted onlyCount;
        Passed passed;
        unsigned epoch;
        QElapsedTimer sinceTick;    // since the last tick, or since the QTimer started
        std::int64_t countedMs = 0; // of sinceTick, already handed over as ticks
        bool counting = false;
    };
    void HandOver(Entry& e);
    std::vector<Entry> m_entries;
    bool m_held = false;
};

} // namespace keyfall
