// OziExplorer track files: six header lines, then "lat,lon,break,feet,daynumber,..." per point.

#include <array>
#include <cstdio>

#include "tracks/readers/plt.h"
#include "tracks/text_file.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr int PltHeaderLines = 6;
constexpr double MetresPerFoot = 0.3048;
constexpr double SecondsPerDay = 86400;
constexpr double DayNumberEpochOffset = 2209161600;  // seconds from 1899-12-30 to 1970-01-01
constexpr double NoAltitudeFeet = -777;               // what writers put when they have none

// An empty field (blanks only) is a value the writer did not have, not a zero.
bool Empty(std::string_view field)
{
    return TrimBlanks(field).empty();
}

constexpr std::size_t BytesPerLineHint = 40;  // "lat,lon,0,feet,daynumber,," as writers write it

// Fields beyond the fifth are never looked at.
constexpr std::size_t PltFields = 5;

template <typename Lines>
ReadResult ReadPltLines(Lines& lines, std::size_t bytes, const std::string& path, const ReaderContext& context)
{
    std::string_view line;
    for (int i = 0; i < PltHeaderLines; ++i) {
        if (!lines.Next(line))
            return ReadResult::Failure(Texts::tr("不是有效的OZI plt文件：\n") + path);
    }

    SegmentBuilder builder(context.Config);
    builder.Reserve(bytes / BytesPerLineHint);
    while (lines.Next(line)) {
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        std::array<std::string_view, PltFields> fields;
        const std::size_t count = SplitFields(line, ',', fields);
        if (count < 2)
            continue;

        TrackPoint point;
        point.Latitude = LeadingDouble(fields[0]);
        point.Longitude = LeadingDouble(fields[1]);
        if (builder.PointCount() == 0) {
            point.Flags |= SegmentStart;  // a break flag on the first line changes nothing
        } else if (count >= 3 && LeadingInt(fields[2]) != 0) {
            builder.CloseSegment();
            point.Flags |= SegmentStart;
        }
        if (count >= 4 && !Empty(fields[3])) {
            if (const double feet = LeadingDouble(fields[3]); feet != NoAltitudeFeet) {
                point.Altitude = feet * MetresPerFoot;
                point.Flags |= HasAltitude;
            }
        }
        if (count >= 5 && !Empty(fields[4])) {
            point.Time = LeadingDouble(fields[4]) * SecondsPerDay - DayNumberEpochOffset;
            point.Flags |= HasTime;
        }
        builder.AddTrackPoint(point);
    }
    return ReadResult::FromCommit(builder.CommitTrack());
}

}  // namespace

ReadResult ReadPltText(std::string_view text, const std::string& path, const ReaderContext& context)
{
    LineReader lines(text);
    return ReadPltLines(lines, text.size(), path, context);
}

ReadResult ReadPltFile(const std::string& path, const ReaderContext& context)
{
    FileLines lines;
    if (!lines.Open(path))
        return ReadResult::Failure();
    return ReadPltLines(lines, static_cast<std::size_t>(lines.FileBytes()), path, context);
}

}  // namespace tolvex
