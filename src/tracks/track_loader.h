#pragma once
// LoadTrackFile: picks the reader by extension and, after a successful read, starts replay on the
// new track. A failed load changes nothing but TrackFilePath.

#include <string>

#include "config/settings.h"
#include "sim/host.h"
#include "tracks/replay.h"
#include "tracks/track_store.h"

namespace tolvex {

struct LoadOutcome {
    bool Loaded = false;
    std::string Title;            // "Tolvex - " + path, for the window; empty when nothing loaded
    bool ShowTrackModeBar = false;  // the six replay controls appear after the first successful load
    bool MessageShown = false;      // the failure was told to the user
};

LoadOutcome LoadTrackFile(const std::string& path, TrackStore& store, Replay& replay, const Settings& settings,
                          Host& host);

}  // namespace tolvex
