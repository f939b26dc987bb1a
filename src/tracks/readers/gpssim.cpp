// GpsGate Simulator files: only the "$FRWPT,lat,N,lon,E[,alt]" waypoint lines count, and all
// of them form one unnamed segment in file order.

#include "tracks/readers/gpssim.h"

#include <array>
#include <cmath>

#include "tracks/text_file.h"

namespace tolvex {
namespace {

constexpr std::size_t MinWaypointFields = 5;
constexpr std::size_t AltitudeField = 5;

bool IsWaypointRecord(std::string_view field)
{
    constexpr std::string_view Record = "$FRWPT";
    if (field.size() != Record.size())
        return false;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i] >= 'a' && field[i] <= 'z' ? static_cast<char>(field[i] - 'a' + 'A') : field[i];
        if (c != Record[i])
            return false;
    }
    return true;
}

}  // namespace

double NmeaToDegrees(std::string_view value, std::string_view hemisphere)
{
    const std::size_t point = value.find('.');
    if (point == std::string_view::npos || point < 3)
        return 0;
    const double degrees = LeadingDouble(value.substr(0, point - 2)) + LeadingDouble(value.substr(point - 2)) / 60;
    const bool negative = hemisphere == "S" || hemisphere == "s" || hemisphere == "W" || hemisphere == "w";
    return negative ? -degrees : degrees;
}

namespace {

template <typename Lines>
ReadResult ReadGpssimLines(Lines& lines, const ReaderContext& context)
{
    SegmentBuilder builder(context.Config);
    std::string_view line;
    bool first = true;
    while (lines.Next(line)) {
        line = TrimBlanks(line);
        if (line.empty())
            continue;
        std::array<std::string_view, AltitudeField + 1> fields;
        const std::size_t count = SplitFields(line, ',', fields);
        if (count < MinWaypointFields || !IsWaypointRecord(fields[0]))
            continue;
        TrackPoint point;
        point.Latitude = NmeaToDegrees(fields[1], fields[2]);
        point.Longitude = NmeaToDegrees(fields[3], fields[4]);
        if (count > AltitudeField) {
            point.Altitude = LeadingDouble(fields[AltitudeField]);
            point.Flags |= HasAltitude;
        }
        // Numbers beyond the double range would poison every distance: skip such a line.
        if (!std::isfinite(point.Latitude) || !std::isfinite(point.Longitude) || !std::isfinite(point.Altitude))
            continue;
        if (first)
            point.Flags |= SegmentStart;
        first = false;
        builder.AddTrackPoint(point);
    }
    return ReadResult::FromCommit(builder.CommitTrack());
}

}  // namespace

ReadResult ReadGpssimText(std::string_view text, const ReaderContext& context)
{
    LineReader lines(text);
    return ReadGpssimLines(lines, context);
}

ReadResult ReadGpssimFile(const std::string& path, const ReaderContext& context)
{
    FileLines lines;
    if (!lines.Open(path))
        return ReadResult::Failure();
    return ReadGpssimLines(lines, context);
}

}  // namespace tolvex
