#pragma once
// What the benchmarks that time something in-process share: milliseconds of a duration, the
// "name value" lines run.sh reads (how many samples, their median and their worst), and the
// silence a game plays into when only its work is timed.

#include "game/Host.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace keyfall::bench {

inline double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline void Report(const char* name, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    std::printf("%s_samples %zu\n", name, samples.size());
    std::printf("%s_median %.2f\n", name, samples[samples.size() / 2]);
    std::printf("%s_max %.2f\n", name, samples.back());
}

class NoCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

} // namespace keyfall::bench
