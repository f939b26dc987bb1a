// Binary .trk files: a 24-byte header ("SMG_TRACK" in UTF-16LE and a version), then blocks of
// one 54-byte full record followed by 10-byte delta records. All points form one segment.

#include "tracks/readers/trk.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <cerrno>

#include "config/file_io.h"
#include "tracks/readers/civil_time.h"
#include "sim/texts.h"

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

namespace {

// The bytes of a .trk, from memory or from a file read in pieces: a file of any size costs one
// piece of memory besides its points.
class TrkInput {
public:
    explicit TrkInput(std::string_view bytes) : m_held(bytes) {}
    explicit TrkInput(int fd) : m_fd(fd) {}
    ~TrkInput()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TrkInput(const TrkInput&) = delete;
    TrkInput& operator=(const TrkInput&) = delete;

    // The next n bytes, or null when the input ends first (those last bytes are used up).
    const unsigned char* Take(std::size_t n)
    {
        if (m_held.size() - m_at < n && m_fd >= 0)
            Refill(n);
        if (m_held.size() - m_at < n) {
            m_at = m_held.size();
            return nullptr;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(m_held.data() + m_at);
        m_at += n;
        return p;
    }

private:
    void Refill(std::size_t n)
    {
        constexpr std::size_t PieceBytes = 1 << 20;
        m_buffer.erase(0, m_at);
        m_at = 0;
        while (m_buffer.size() < n) {
            const std::size_t had = m_buffer.size();
            m_buffer.resize(had + PieceBytes);
            ssize_t got;
            do
                got = ::read(m_fd, m_buffer.data() + had, PieceBytes);
            while (got < 0 && errno == EINTR);
            m_buffer.resize(had + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            if (got <= 0) {
                ::close(m_fd);
                m_fd = -1;  // the end, or a read error: what was read is used
                break;
            }
        }
        m_held = m_buffer;
    }

    int m_fd = -1;
    std::string m_buffer;
    std::string_view m_held;
    std::size_t m_at = 0;
};

ReadResult ReadTrk(TrkInput& input, const ReaderContext& context)
{
    const unsigned char* header = input.Take(HeaderBytes);
    if (!header)
        return ReadResult::Failure();
    if (std::memcmp(header, Signature.data(), Signature.size()) != 0)
        return ReadResult::Failure(Texts::tr("不是有效的trk文件"));
    if (static_cast<std::uint16_t>(Int16At(header + VersionOffset)) < MinVersion)
        return ReadResult::Failure(Texts::tr("不支持的trk文件版本"));

    SegmentBuilder builder(context.Config);
    std::uint32_t startFlag = SegmentStart;  // the first point of the file only
    while (const unsigned char* r = input.Take(FullRecordBytes)) {
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

        // The count is trusted only as far as the file reaches: a negative one reads no delta,
        // and one larger than the rest of the file reads the deltas that are there.
        const std::int64_t count = Int32At(r + Full::Count);
        for (std::int64_t k = 1; k < count; ++k) {
            const unsigned char* d = input.Take(DeltaRecordBytes);
            if (!d)
                break;
            lonUnits += Int16At(d + Delta::Longitude);
            latUnits += Int16At(d + Delta::Latitude);
            altitude += Int16At(d + Delta::Altitude);
            time += Int16At(d + Delta::Milliseconds) / 1000.0;
            add();
        }
    }
    return ReadResult::FromCommit(builder.CommitTrack());
}

}  // namespace

ReadResult ReadTrkBytes(std::string_view bytes, const ReaderContext& context)
{
    TrkInput input(bytes);
    return ReadTrk(input, context);
}

ReadResult ReadTrkFile(const std::string& path, const ReaderContext& context)
{
    ReadStatus status;
    std::string error;
    const int fd = OpenRegularFile(path, MaxTrackFileBytes, status, error);
    if (fd < 0)
        return ReadResult::Failure();
    TrkInput input(fd);
    return ReadTrk(input, context);
}

}  // namespace tolvex
