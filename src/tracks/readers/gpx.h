#pragma once
// Parts of the GPX reader that other readers and the tests use.

#include <optional>
#include <span>
#include <string_view>

#include "tracks/reader.h"
#include "tracks/readers/xml_scanner.h"

namespace tolvex {

// "year-month-dayThour:minute:seconds" as seconds since 1970-01-01 UTC; the seconds may carry a
// fraction, and whatever follows them (a "Z", a zone offset) is ignored. Nothing when the text
// does not have that shape or the date does not exist.
std::optional<double> ParseIsoTime(std::string_view text);

struct LatLon {
    double Latitude = 0;   // degrees, north positive
    double Longitude = 0;  // degrees, east positive
};

// The "lat" and "lon" attributes; nothing when either is missing or holds no finite number, so
// that a broken point is skipped instead of landing at 0, 0.
std::optional<LatLon> ReadLatLonAttributes(std::span<const XmlAttribute> attributes);

// ReadGpxFile on a document held in memory.
ReadResult ReadGpxText(std::string_view bytes, const ReaderContext& context);

}  // namespace tolvex
