#pragma once
// What the main window owns, wired together: the engine, the loaded track and its replay.

#include "sim/engine.h"
#include "tracks/replay.h"
#include "tracks/track_store.h"

namespace tolvex {

struct Simulator {
    Simulator(Host& host, const CalendarClock& calendar, PortFactory& ports, OziLink* ozi = nullptr)
        : Core(host, calendar, ports, ozi),
          TrackReplay(Core.Fix, Core.Options, Core.Outputs.Table(), host, Track, Core.ExportRunning)
    {
        Core.SetReplay(&TrackReplay);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    Engine Core;
    TrackStore Track;
    Replay TrackReplay;
};

}  // namespace tolvex
