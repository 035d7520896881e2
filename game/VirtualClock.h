#pragma once
// Runs the window's four timers on simulated time: tests, benchmarks and randomized play
// drive whole games with it in microseconds. Timers due at the same moment fire in the
// order the window creates them: letters, explosions, round, score.

#include "game/FrmMain.h"

#include <array>
#include <cstdint>
#include <functional>

namespace keyfall {

class VirtualClock {
public:
    explicit VirtualClock(FrmMain& form);

    // Fires, in time order, every tick due up to Now() + ms, then sets Now() to that time.
    // Returns the number of ticks fired.
    int Advance(std::int64_t ms);
    // Advances until `done` holds after a tick or `limitMs` have passed; true if it held.
    template <typename Predicate>
    bool AdvanceUntil(Predicate done, std::int64_t limitMs)
    {
        const std::int64_t end = m_now + limitMs;
        while (!done()) {
            const std::int64_t next = NextDue();
            if (next < 0 || next > end) {
                Advance(end - m_now);
                return done();
            }
            Advance(next - m_now);
        }
        return true;
    }
    std::int64_t Now() const { return m_now; }
    // Runs after every tick: a window driven by this clock mirrors the tick's changes there,
    // as it does after a tick of its real timers.
    void SetAfterTick(std::function<void()> afterTick) { m_afterTick = std::move(afterTick); }
    // The time of the next tick, or -1 when no timer runs.
    std::int64_t NextDue();

private:
    struct Entry {
        Timer* timer;
        void (FrmMain::*tick)();
        std::int64_t due = 0;
        unsigned epoch = 0;
        bool scheduled = false;
    };
    void Sync();

    FrmMain& m_form;
    std::function<void()> m_afterTick;
    std::array<Entry, 4> m_entries;
    std::int64_t m_now = 0;
};

} // namespace keyfall
