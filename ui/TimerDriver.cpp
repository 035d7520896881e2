#include "ui/TimerDriver.h"

namespace keyfall {

TimerDriver::TimerDriver(QObject* parent) : QObject(parent)
{
}

void TimerDriver::Add(Timer& timer, Tick tick, Wanted wanted)
{
    auto* qtimer = new QTimer(this);
    qtimer->setTimerType(Qt::PreciseTimer);
    connect(qtimer, &QTimer::timeout, this, std::move(tick));
    m_entries.push_back({&timer, qtimer, std::move(wanted), timer.Epoch()});
}

void TimerDriver::Sync()
{
    for (Entry& e : m_entries) {
        if (m_held || !e.timer->Running() || (e.wanted && !e.wanted())) {
            e.qtimer->stop();
        } else if (!e.qtimer->isActive() || e.epoch != e.timer->Epoch()) {
            e.qtimer->start(e.timer->Interval());
        }
        e.epoch = e.timer->Epoch();
    }
}

void TimerDriver::SetHeld(bool held)
{
    m_held = held;
    Sync();
}

} // namespace keyfall
