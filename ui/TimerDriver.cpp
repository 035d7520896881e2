#include "ui/TimerDriver.h"

namespace keyfall {

TimerDriver::TimerDriver(QObject* parent) : QObject(parent)
{
}

void TimerDriver::Add(Timer& timer, Tick tick, Wanted wanted, Wanted onlyCount, Passed passed)
{
    auto* qtimer = new QTimer(this);
    qtimer->setTimerType(Qt::PreciseTimer);
    const std::size_t index = m_entries.size();
    connect(qtimer, &QTimer::timeout, this, [this, index, tick = std::move(tick)] {
        Entry& e = m_entries[index];
        e.sinceTick.start();
        e.countedMs = 0;
        tick();
    });
    m_entries.push_back(
        {&timer, qtimer, std::move(wanted), std::move(onlyCount), std::move(passed), timer.Epoch(), {}, 0, false});
}

void TimerDriver::HandOver(Entry& e)
{
    const std::int64_t interval = e.timer->Interval();
    if (!e.counting || interval <= 0 || !e.passed)
        return;
    const std::int64_t ticks = (e.sinceTick.elapsed() - e.countedMs) / interval;
    if (ticks <= 0)
        return;
    e.countedMs += ticks * interval;
    e.passed(ticks);
}

void TimerDriver::CatchUp()
{
    for (Entry& e : m_entries)
        HandOver(e);
}

void TimerDriver::Sync()
{
    for (Entry& e : m_entries) {
        const bool running = !m_held && e.timer->Running() && (!e.wanted || e.wanted());
        const bool counting = running && e.onlyCount && e.onlyCount();
        // What has passed while counting belongs to the old interval and to the time before a
        // pause; it is handed over before either changes.
        if (e.counting && (!counting || e.epoch != e.timer->Epoch())) {
            HandOver(e);
            e.counting = false;
        }
        if (counting) {
            if (!e.counting) {
                // Counting on from the last tick, or from now when the timer was not ticking.
                if (!e.qtimer->isActive() || e.epoch != e.timer->Epoch()) {
                    e.sinceTick.start();
                    e.countedMs = 0;
                }
                e.counting = true;
            }
            e.qtimer->stop();
        } else if (!running) {
            e.qtimer->stop();
        } else if (!e.qtimer->isActive() || e.epoch != e.timer->Epoch()) {
            e.qtimer->start(e.timer->Interval());
            e.sinceTick.start();
            e.countedMs = 0;
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
