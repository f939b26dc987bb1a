// Read, replay, export: the first byte picks the reader, the rest is the file; the track is
// installed and exported as NMEA in mode M at top speed, which bounds the records by the length.
#include <cstdio>

#include "fuzz_host.h"
#include "nmea/export.h"
#include "nmea/output_table.h"
#include "tracks/readers/gpssim.h"
#include "tracks/readers/gpx.h"
#include "tracks/readers/kml.h"
#include "tracks/readers/plt.h"
#include "tracks/readers/trk.h"

namespace {

struct FixedCalendar final : tolvex::CalendarClock {
    std::int64_t Now() const override { return 1255262400; }
};

tolvex::ReadResult Read(unsigned char format, std::string_view text, const tolvex::ReaderContext& context)
{
    switch (format % 5) {
    case 0: return tolvex::ReadPltText(text, "fuzz.plt", context);
    case 1: return tolvex::ReadGpxText(text, context);
    case 2: return tolvex::ReadKmlText(text, context);
    case 3: return tolvex::ReadGpssimText(text, context);
    default: return tolvex::ReadTrkBytes(text, context);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadResult result = Read(data[0], {reinterpret_cast<const char*>(data) + 1, size - 1}, {settings, host});
    if (!result)
        return 0;
    tolvex::SimFix fix;
    tolvex::TrackStore store;
    tolvex::OutputTable outputs{};
    bool exportRunning = false;
    tolvex::Replay replay(fix, settings, outputs, host, store, exportRunning);
    store.Install(std::move(*result.Track));
    replay.StartNewTrack();
    replay.SetTrackMode(tolvex::TrackMode::M);
    fix.Speed = 27777.5;  // m/s, the highest the settings allow
    tolvex::FixClock clock;
    FixedCalendar calendar;
    const tolvex::RunState state = tolvex::RunState::Stopped;
    tolvex::NmeaExport exporter(replay, fix, settings, state, clock, calendar, exportRunning, host);
    exporter.Progress = [](int, int) { return false; };  // a few thousand records are enough
    if (std::FILE* out = std::fopen("/dev/null", "wb")) {
        exporter.ExportNmea(out, {});
        std::fclose(out);
    }
    return 0;
}
