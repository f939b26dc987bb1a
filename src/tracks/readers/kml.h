#pragma once
// Parts of the KML reader that the tests use.

#include <functional>
#include <string_view>

#include "tracks/reader.h"

namespace tolvex {

// Cuts one coordinates text ("lon,lat[,alt]" tuples, any white space between them) into points
// and hands each to add; the first gets SegmentStart. Every complete tuple is read, the last one
// too; a lone number is none.
void ScanKmlCoordinates(std::string_view text, const std::function<void(const TrackPoint&)>& add);

// The same, appending to the open segment of builder.
void ScanKmlCoordinates(std::string_view text, SegmentBuilder& builder);

// ReadKmlFile on a document held in memory.
ReadResult ReadKmlText(std::string_view bytes, const ReaderContext& context);

}  // namespace tolvex
