#pragma once
// The texts of the segment list shared by the segment dialog and the export dialog.

#include <string>
#include <vector>

#include "tracks/track_store.h"

namespace tolvex {

// One row per segment of ActiveSegments: number, quoted name, points, length and start point,
// each cut to 100 characters as the combo box takes them.
std::vector<std::string> SegmentRows(const TrackStore& store, int latLonFormat);
// "%d段航迹，共%d点，%.1fKm"
std::string SegmentSummary(const TrackStore& store);
// "（共%d段，%d点，%.1fKm）", the export dialog's totals line.
std::string SegmentTotals(const TrackStore& store);

}  // namespace tolvex
