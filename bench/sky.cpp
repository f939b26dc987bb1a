// The realistic receiver's due tick: four constellations propagated, DOP, noise and every
// sentence line. It shares the 20 ms tick with driving and the ports, so it must stay far below it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "nmea/nmea_builder.h"
#include "sim/clock.h"
#include "sky/sky_model.h"

namespace {

constexpr double BudgetMicroseconds = 2000;  // a tenth of the tick
double g_meanMicroseconds = 0;

struct SteppingCalendar final : tolvex::CalendarClock {
    mutable std::int64_t Seconds = 1245054605;
    std::int64_t Now() const override { return Seconds++; }
};

void BuildWithFourSystems(benchmark::State& state)
{
    SteppingCalendar calendar;
    tolvex::Settings settings;
    settings.Sky.Enabled = true;
    settings.Sky.Systems = 0xF;
    settings.Sky.Uere = 3;
    settings.Sky.Seed = 1;
    tolvex::SkyModel sky;
    sky.Configure(settings.Sky);
    tolvex::FixClock clock;
    tolvex::SimFix fix{31.2304, 121.4737, 12.3, 45, 10};
    tolvex::NmeaBuilder builder;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        builder.BuildSentences(fix, tolvex::RunState::Running, settings, clock, calendar, false, &sky);
        builder.AppendLineEnds();
        benchmark::DoNotOptimize(builder.Text(0));
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    g_meanMicroseconds = spent.count() / static_cast<double>(state.iterations());
}
BENCHMARK(BuildWithFourSystems);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("sky build: %.1f us per due tick (budget %.0f us)\n", g_meanMicroseconds, BudgetMicroseconds);
    return g_meanMicroseconds > BudgetMicroseconds ? 1 : 0;
}
