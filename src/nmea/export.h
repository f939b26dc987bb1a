#pragma once
// The NMEA file export: the replay runs step by step as fast as it can, and the sentences of each
// step go to a file, with everything that shapes the live output applied.

#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "config/settings.h"
#include "nmea/nmea_builder.h"
#include "sim/clock.h"
#include "sim/host.h"
#include "sim/sim_fix.h"
#include "tracks/replay.h"

namespace tolvex {

struct ExportOptions {
    // Written per step in the order RMC, GGA, GSA, GSV, GLL, VTG.
    std::array<bool, SentenceCount> Sentences = {true, true, true, true, false, false};
    int Segment = 0;  // 1-based segment exported alone ("选择段"); 0 exports all segments in order
    // Each record carries the track's own time where the replay stands (plus the time offset)
    // instead of the export clock, so a timed track comes back with its original times.
    bool TrackTimes = false;
};

class NmeaExport {
public:
    // The clock is the one the live outputs use, so that times run on from export to export.
    NmeaExport(Replay& replay, SimFix& fix, const Settings& settings, const RunState& runState, FixClock& clock,
               const CalendarClock& calendar, bool& exportRunning, Host& host);

    // The export command's checks before the dialog: refused for a speed that never reaches the
    // end, a question for a very low M-mode speed. False when the export must not go on.
    bool CheckSpeed();

    // "存储为...": creates or replaces path and exports into it. The status line ("已存为" and the
    // path) on success; nothing when the file could not be written (the user has been told) or the
    // export was cancelled. An existing file is replaced only by a complete export: the records go
    // to a temporary file beside it first, and no partial file is ever left behind.
    std::optional<std::string> SaveAs(const std::string& path, const ExportOptions& options);

    // Writes the records into an open file and puts the simulator back as it was. Returns the
    // number of replay steps written.
    long long ExportNmea(std::FILE* file, const ExportOptions& options);

    // Called now and then during a long run with the current point number and the point count;
    // returning false cancels the export.
    std::function<bool(int point, int points)> Progress;
    bool Cancelled() const { return m_cancelled; }

private:
    bool NeverFinishes();

    Replay& m_replay;
    SimFix& m_fix;
    const Settings& m_settings;
    const RunState& m_runState;
    FixClock& m_clock;
    const CalendarClock& m_calendar;
    bool& m_exportRunning;
    Host& m_host;
    bool m_cancelled = false;
};

}  // namespace tolvex
