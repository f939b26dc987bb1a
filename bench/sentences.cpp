// The work of one due tick: building the six sentences and their line ends.
#include <benchmark/benchmark.h>

#include "nmea/nmea_builder.h"
#include "sim/clock.h"
#include "sim/engine.h"

namespace {

struct FixedCalendar final : tolvex::CalendarClock {
    std::int64_t Now() const override { return 1245054605; }
};

void BuildSentences(benchmark::State& state)
{
    FixedCalendar calendar;
    tolvex::Settings settings;
    tolvex::FixClock clock;
    tolvex::SimFix fix{31.2304, 121.4737, 12.3, 45, 10};
    tolvex::NmeaBuilder builder;
    for (auto _ : state) {
        builder.BuildSentences(fix, tolvex::RunState::Running, settings, clock, calendar, false);
        builder.AppendLineEnds();
        benchmark::DoNotOptimize(builder.Text(0));
        fix.Latitude += 1e-7;
    }
}
BENCHMARK(BuildSentences);

void DriveStep(benchmark::State& state)
{
    tolvex::SimFix fix{0, 0, 0, 30, 27.7};
    for (auto _ : state) {
        tolvex::DriveStep(fix);
        benchmark::DoNotOptimize(fix.Latitude);
    }
}
BENCHMARK(DriveStep);

}  // namespace

BENCHMARK_MAIN();
