#pragma once
// Mirrors the window's four timers onto precise QTimers. After every handler the owner calls
// Sync(): a timer that was stopped or got a new interval starts counting afresh; a running
// one that was merely enabled again keeps its rhythm. An interval of 0 means stopped.

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

    explicit TimerDriver(QObject* parent = nullptr);
    // Drives `timer` with a QTimer that calls `tick` on each timeout.
    void Add(Timer& timer, Tick tick);
    void Sync();

private:
    struct Entry {
        Timer* timer;
        QTimer* qtimer;
        unsigned epoch;
    };
    std::vector<Entry> m_entries;
};

} // namespace keyfall
