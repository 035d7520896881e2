#include "game/VirtualClock.h"

namespace keyfall {

VirtualClock::VirtualClock(FrmMain& form)
    : m_form(form), m_entries{{{&form.timerLetters, &FrmMain::timerLetters_Timer},
                               {&form.TimerEsplosione, &FrmMain::TimerEsplosione_Timer},
                               {&form.TimerRound, &FrmMain::TimerRound_Timer},
                               {&form.timerScore, &FrmMain::timerScore_Timer}}}
{
}

void VirtualClock::Sync()
{
    // Whatever a handler or an outside event did to a timer since the last look: a timer
    // that was stopped or got a new interval counts down afresh from now.
    for (Entry& e : m_entries) {
        if (!e.timer->Running()) {
            e.scheduled = false;
        } else if (!e.scheduled || e.epoch != e.timer->Epoch()) {
            e.scheduled = true;
            e.epoch = e.timer->Epoch();
            e.due = m_now + e.timer->Interval();
        }
    }
}

std::int64_t VirtualClock::NextDue()
{
    Sync();
    std::int64_t next = -1;
    for (const Entry& e : m_entries) {
        if (e.scheduled && (next < 0 || e.due < next))
            next = e.due;
    }
    return next;
}

int VirtualClock::Advance(std::int64_t ms)
{
    const std::int64_t end = m_now + ms;
    int fired = 0;
    for (;;) {
        Sync();
        Entry* first = nullptr;
        for (Entry& e : m_entries) {
            if (e.scheduled && e.due <= end && (!first || e.due < first->due))
                first = &e;
        }
        if (!first)
            break;
        m_now = first->due;
        first->due += first->timer->Interval();
        (m_form.*(first->tick))();
        if (m_afterTick)
            m_afterTick();
        ++fired;
    }
    m_now = end;
    return fired;
}

} // namespace keyfall
