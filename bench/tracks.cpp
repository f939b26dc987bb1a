// Tracks at scale: a million-point .plt must load in well under a second, and a replay step or a
// snap must not grow with anything but the points it passes or scans. The export of a loaded
// million-point track, without the load and without a disk, shows the cost of a record.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "nmea/export.h"
#include "nmea/output_table.h"
#include "quiet_host.h"
#include "scratch.h"
#include "sim/host.h"
#include "tracks/reader.h"
#include "tracks/replay.h"

namespace {

using bench::QuietHost;

// A .plt of the given size in the scratch folder, made once per size.
std::string PltFile(int points)
{
    const std::string path = bench::ScratchFolder() + "/" + std::to_string(points) + ".plt";
    if (access(path.c_str(), R_OK) == 0)
        return path;
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("OziExplorer Track Point File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
               "0,2,255,Track,0,0,2,8421376\n0\n",
               f);
    for (int i = 0; i < points; ++i)
        std::fprintf(f, "%.6f,%.6f,%d,%.1f,%.7f,,\n", 31 + i * 1e-5, 121 + i * 1e-5, i % 100000 == 0, 40.0 + i % 100,
                     40097.5 + i / 86400.0);
    std::fclose(f);
    return path;
}

void LoadPlt(benchmark::State& state)
{
    const std::string path = PltFile(static_cast<int>(state.range(0)));
    tolvex::Settings settings;
    QuietHost host;
    for (auto _ : state) {
        tolvex::ReadResult result = tolvex::ReadPltFile(path, tolvex::ReaderContext{settings, host});
        tolvex::TrackStore store;
        store.Install(std::move(*result.Track));
        benchmark::DoNotOptimize(store.PointCountTotal());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(LoadPlt)->Arg(1000000)->Unit(benchmark::kMillisecond);

void SnapAndStep(benchmark::State& state)
{
    const std::string path = PltFile(static_cast<int>(state.range(0)));
    tolvex::Settings settings;
    settings.LastTrackMode = 2;
    QuietHost host;
    tolvex::SimFix fix;
    tolvex::OutputTable outputs{};
    tolvex::TrackStore store;
    bool exportRunning = false;
    store.Install(std::move(*tolvex::ReadPltFile(path, tolvex::ReaderContext{settings, host}).Track));
    tolvex::Replay replay(fix, settings, outputs, host, store, exportRunning);
    replay.StartNewTrack();
    fix.Speed = 20;
    for (auto _ : state) {
        replay.SnapToTrack(31.5, 121.5);
        bool finished = false;
        for (int i = 0; i < 100; ++i)
            replay.ReplayStep(finished, false);
        benchmark::DoNotOptimize(fix.Latitude);
    }
}
BENCHMARK(SnapAndStep)->Arg(1000000)->Unit(benchmark::kMillisecond);

void ExportRecords(benchmark::State& state)
{
    const int points = static_cast<int>(state.range(0));
    tolvex::Settings settings;
    settings.LastTrackMode = 1;  // P: one record a point
    QuietHost host;
    tolvex::SimFix fix;
    tolvex::OutputTable outputs{};
    tolvex::TrackStore store;
    bool exportRunning = false;
    store.Install(std::move(*tolvex::ReadPltFile(PltFile(points), tolvex::ReaderContext{settings, host}).Track));
    tolvex::Replay replay(fix, settings, outputs, host, store, exportRunning);
    replay.StartNewTrack();
    tolvex::FixClock clock;
    tolvex::SystemCalendarClock calendar;
    const tolvex::RunState running = tolvex::RunState::Running;
    tolvex::NmeaExport exporter(replay, fix, settings, running, clock, calendar, exportRunning, host);
    tolvex::ExportOptions options;
    options.Sentences = {true, true, true, false, false, false};  // the export benchmark's RMC, GGA, GSA
    for (auto _ : state)
        benchmark::DoNotOptimize(exporter.SaveAs("/dev/null", options));  // a device is written in place
    state.SetItemsProcessed(state.iterations() * points);
}
BENCHMARK(ExportRecords)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
