#pragma once
// The panel's mouse regions: the cells the wheel edits with the right button held, and where a
// double click leads.

#include <optional>

#include "sim/lat_lon_format.h"
#include "sim/sim_fix.h"

namespace tolvex {

enum class WheelCell { Course, Altitude, Longitude, Speed, Latitude, Offset, Ratio, Segment, Point };

// The first cell of the table whose region and condition hold at client pixel (x, y).
std::optional<WheelCell> FindWheelCell(int x, int y, TrackMode mode, RunState state);

// What a double click opens.
struct DoubleClickTarget {
    bool Options = false;               // the options sheet; otherwise the position dialog
    LatLonFormat Format = LatLonFormat::D;  // the position dialog of LatLonFormatIndex
    int OptionsOutput = -1;             // start on the page of this output 0..3; -1 keeps the page
};
DoubleClickTarget DoubleClickTargetAt(int x, int y, int latLonFormatIndex);

}  // namespace tolvex
