// The headless core plays a whole hard game of 8 rounds on the virtual clock, with a player
// who types the lowest falling character every 150 ms (so the bigger waves also land a few
// and the explosions run). Google Benchmark times it; the reporter below prints
// "name value" lines for bench/run.sh instead of its own table.

#include "support/Doubles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace keyfall {
namespace {

struct Outcome {
    std::int64_t simulatedMs = 0;
    int ticks = 0;
    int waves = 0;
    int keys = 0;
};

Outcome PlayHardGame(std::uint64_t seed)
{
    test::Game game(seed);
    game.Load();
    game.form.optDifficulty_Click(2);
    game.form.cmdStart_Click();
    Outcome out;
    while (game.form.GameRunning && game.clock.Now() < std::int64_t{30} * 60 * 1000) {
        out.ticks += game.clock.Advance(150);
        const Label* lowest = nullptr;
        for (const Label& l : game.form.lblLetter) {
            if (l.Visible && (!lowest || l.Top > lowest->Top))
                lowest = &l;
        }
        if (lowest) {
            game.form.Form_KeyPress(static_cast<unsigned char>(lowest->Caption[0]));
            ++out.keys;
        }
    }
    out.simulatedMs = game.clock.Now();
    out.waves = game.form.WavesLaunched();
    return out;
}

void BM_HardGameOf8Rounds(benchmark::State& state)
{
    std::uint64_t seed = 1;
    Outcome last;
    for (auto _ : state) {
        last = PlayHardGame(seed++);
        benchmark::DoNotOptimize(last);
    }
    state.counters["simulated_s"] = static_cast<double>(last.simulatedMs) / 1000.0;
    state.counters["ticks"] = last.ticks;
    state.counters["waves"] = last.waves;
    state.counters["keys"] = last.keys;
}
BENCHMARK(BM_HardGameOf8Rounds)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.1)
    ->Repetitions(15)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true);

class LineReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate)
                continue;
            const std::string& name = run.aggregate_name;
            if (name == "median" || name == "max" || name == "mean")
                std::printf("core_game_%s %.4f\n", name.c_str(), run.GetAdjustedRealTime());
            if (name == "median") {
                for (const auto& [counter, value] : run.counters)
                    std::printf("core_game_%s %.1f\n", counter.c_str(), value.value);
            }
        }
    }
};

} // namespace
} // namespace keyfall

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    keyfall::LineReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
