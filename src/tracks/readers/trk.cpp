// Binary .trk files: a 24-byte header ("SMG_TRACK" in UTF-16LE and a version), then blocks of
// one 54-byte full record followed by 10-byte delta records. All points form one segment.

#include "tracks/readers/trk.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/file_io.h"
#include "tracks/readers/civil_time.h"

namespace tolvex {
namespace {

constexpr std::array<unsigned char, 20> Signature = {'S', 0, 'M', 0, 'G', 0, '_', 0, 'T', 0,
                                                     'R', 0, 'A', 0, 'C', 0, 'K', 0, 0,   0};
constexpr std::size_t HeaderBytes = 24;
constexpr std::size_t VersionOffset = 20;
constexpr unsigned MinVersion = 258;  // 0x0102
constexpr std::size_t FullRecordBytes = 54;
constexpr std::size_t DeltaRecordBytes = 10;
constexpr double DegreesPerUnit = 0.00001;
constexpr std::int64_t Utc8Seconds = 8 * 3600;

// Field offsets in a full record and in a delta record.
struct Full {
    static constexpr std::size_t Longitude = 4, Latitude = 8, Year = 16, Month = 18, Day = 20, Hour = 22,
                                 Minute = 24, Second = 26, Altitude = 32, Count = 40;
};
struct Delta {
    static constexpr std::size_t Longitude = 0, Latitude = 2, Milliseconds = 6, Altitude = 8;
};

std::int32_t Int32At(const unsigned char* p)
{
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
                                     | std::uint32_t(p[3]) << 24);
}

std::int16_t Int16At(const unsigned char* p)
{
    return static_cast<std::int16_t>(std::uint16_t(p[0] | p[1] << 8));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

double TrkRecordTime(int year, int month, int day, int hour, int minute, int second)
{
    const std::int64_t months = std::int64_t{month} - 1;
    const std::int64_t y = year + FloorDiv(months, 12);
    const int m = static_cast<int>(months - FloorDiv(months, 12) * 12) + 1;
    const std::int64_t days = DaysFromCivil(y, m, 1) + (day - 1);
    return static_cast<double>(days * 86400 + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second
                               - Utc8Seconds);
}

ReadResult ReadTrkBytes(std::string_view text, const ReaderContext& context)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    if (size < HeaderBytes)
        return ReadResult::Failure();
    if (std::memcmp(bytes, Signature.data(), Signature.size()) != 0)
        return ReadResult::Failure("不是有效的trk文件");
    if (static_cast<std::uint16_t>(Int16At(bytes + VersionOffset)) < MinVersion)
        return ReadResult::Failure("不支持的trk文件版本");

    SegmentBuilder builder(context.Config);
    builder.Reserve((size - HeaderBytes) / DeltaRecordBytes + 1);
    std::size_t pos = HeaderBytes;
    std::uint32_t startFlag = SegmentStart;  // the first point of the file only
    while (size - pos >= FullRecordBytes) {
        const unsigned char* r = bytes + pos;
        pos += FullRecordBytes;
        // Running values in 64 bits: a long run of deltas cannot overflow them.
        std::int64_t lonUnits = Int32At(r + Full::Longitude);
        std::int64_t latUnits = Int32At(r + Full::Latitude);
        std::int64_t altitude = Int32At(r + Full::Altitude);
        double time = TrkRecordTime(Int16At(r + Full::Year), Int16At(r + Full::Month), Int16At(r + Full::Day),
                                    Int16At(r + Full::Hour), Int16At(r + Full::Minute), Int16At(r + Full::Second));
        auto add = [&] {
            TrackPoint point;
            point.Longitude = static_cast<double>(lonUnits) * DegreesPerUnit;
            point.Latitude = static_cast<double>(latUnits) * DegreesPerUnit;
            point.Altitude = static_cast<double>(altitude);
            point.Time = time;
            point.Flags = startFlag | HasTime | HasAltitude;
            startFlag = 0;
            builder.AddTrackPoint(point);
        };
        add();

        // The count is trusted only as far as the file reaches: a negative one reads no delta, and
        // one larger than the rest of the file reads the deltas that are there (a file cut short).
        const std::int64_t count = Int32At(r + Full::Count);
        const std::int64_t deltas = std::min<std::int64_t>(count - 1, static_cast<std::int64_t>((size - pos) / DeltaRecordBytes));
        for (std::int64_t k = 0; k < deltas; ++k) {
            const unsigned char* d = bytes + pos;
            pos += DeltaRecordBytes;
            lonUnits += Int16At(d + Delta::Longitude);
            latUnits += Int16At(d + Delta::Latitude);
            altitude += Int16At(d + Delta::Altitude);
            time += Int16At(d + Delta::Milliseconds) / 1000.0;
            add();
        }
    }
    return ReadResult::FromCommit(builder.CommitTrack());
}

ReadResult ReadTrkFile(const std::string& path, const ReaderContext& context)
{
    std::string bytes;
    std::string error;
    if (ReadWholeFile(path, bytes, error) != ReadStatus::Ok)
        return ReadResult::Failure();
    return ReadTrkBytes(bytes, context);
}

}  // namespace tolvex
