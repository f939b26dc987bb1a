#include "tracks/track_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sim/geodesy.h"

namespace tolvex {

namespace {

// Large point arrays are asked for in huge pages where the system allows it: a million points
// otherwise fault in one small page at a time, ten thousand times.
void PreferHugePages(const void* data, std::size_t bytes)
{
    constexpr std::uintptr_t HugePage = std::uintptr_t{2} << 20;
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (at + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (at + bytes) & ~(HugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // a hint: failure changes nothing
}

std::vector<TrackPoint> ReversedCopy(std::span<const TrackPoint> points)
{
    std::vector<TrackPoint> reversed;
    reversed.reserve(points.size());
    PreferHugePages(reversed.data(), reversed.capacity() * sizeof(TrackPoint));
    for (auto it = points.rbegin(); it != points.rend(); ++it)
        reversed.push_back(ReversedPoint(*it));
    return reversed;
}

// Lists from this size on are faulted in by a warmer; the warmer hears of the points every
// WarmerStride of them.
constexpr std::size_t WarmedBytes = std::size_t{4} << 20;
constexpr std::size_t WarmerStride = 16384;

}  // namespace

double PathLength(std::span<const TrackPoint> points)
{
    double length = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        length += GeoDistance(points[i - 1].Latitude, points[i - 1].Longitude, points[i].Latitude, points[i].Longitude);
    return length;
}

TrackPoint ReversedPoint(const TrackPoint& p)
{
    TrackPoint r = p;
    r.Time = -p.Time;
    r.Flags = p.Flags & ~(SegmentStart | SegmentEnd);
    if (p.Flags & SegmentStart)
        r.Flags |= SegmentEnd;
    else if (p.Flags & SegmentEnd)
        r.Flags |= SegmentStart;
    return r;
}

SegmentBuilder::SegmentBuilder(const Settings& settings)
    : SegmentBuilder(settings.MinTrackPoints, settings.MinTrackLength)
{
}

SegmentBuilder::SegmentBuilder(int minTrackPoints, double minTrackLength)
    : m_minTrackPoints(std::max(minTrackPoints, 2)), m_minTrackLength(minTrackLength)
{
}

bool IsOnGlobe(double latitude, double longitude)
{
    // Written so that NaN fails every comparison.
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;
}

void SegmentBuilder::AddTrackPoint(const TrackPoint& point)
{
    const bool bad = !IsOnGlobe(point.Latitude, point.Longitude) ||
                     ((point.Flags & HasAltitude) && !std::isfinite(point.Altitude)) ||
                     ((point.Flags & HasTime) && !std::isfinite(point.Time));
    if (bad) {
        ++m_track.SkippedPoints;
        if (point.Flags & SegmentStart) m_startPending = true;
        if (point.Flags & SegmentEnd) {
            // The group's last good point ends it, unless it is also its first.
            if (m_startPending)
                m_startPending = false;
            else if (OpenPointCount() > 0 && !(m_track.Points.back().Flags & (SegmentStart | SegmentEnd)))
                m_track.Points.back().Flags |= SegmentEnd;
        }
        return;
    }
    // A list that must grow moves: the warmer stops before the old one goes.
    if (m_warmer && m_track.Points.size() == m_track.Points.capacity()) m_warmer.reset();
    TrackPoint& added = m_track.Points.emplace_back(point);
    if (m_warmer && m_track.Points.size() % WarmerStride == 0)
        m_warmer->Reached(m_track.Points.size() * sizeof(TrackPoint));
    if (m_startPending) {
        added.Flags |= SegmentStart;
        m_startPending = false;
    }
    if (!(added.Flags & HasAltitude) && !std::isfinite(added.Altitude)) added.Altitude = 0;
    if (!(added.Flags & HasTime) && !std::isfinite(added.Time)) added.Time = 0;
}

int SegmentBuilder::PointCount() const
{
    return static_cast<int>(m_track.Points.size());
}

int SegmentBuilder::OpenPointCount() const
{
    return static_cast<int>(m_track.Points.size() - m_openBegin);
}

void SegmentBuilder::Reserve(std::size_t points)
{
    constexpr std::size_t MaxReservedPoints = 1 << 20;
    m_warmer.reset();
    m_track.Points.reserve(std::min(points, MaxReservedPoints));
    const std::size_t bytes = m_track.Points.capacity() * sizeof(TrackPoint);
    PreferHugePages(m_track.Points.data(), bytes);
    if (bytes >= WarmedBytes) m_warmer = std::make_unique<PageWarmer>(m_track.Points.data(), bytes);
}

bool SegmentBuilder::Accepts(std::span<const TrackPoint> points, double length) const
{
    if (static_cast<long long>(points.size()) < m_minTrackPoints)
        return false;
    return !(length < m_minTrackLength);
}

bool SegmentBuilder::CloseSegment(std::string name)
{
    m_startPending = false;
    std::span<const TrackPoint> open(m_track.Points.data() + m_openBegin, m_track.Points.size() - m_openBegin);
    const double length = PathLength(open);
    if (!Accepts(open, length)) {
        m_track.Points.resize(m_openBegin);
        return false;
    }
    m_track.Points.back().Flags |= SegmentEnd;
    m_track.Segments.push_back(TrackSegment{static_cast<int>(m_openBegin) + 1, static_cast<int>(open.size()), length,
                                            std::move(name)});
    m_openBegin = m_track.Points.size();
    return true;
}

std::optional<BuiltTrack> SegmentBuilder::CommitTrack()
{
    m_warmer.reset();
    if (OpenPointCount() > 0)
        CloseSegment();
    if (m_track.Points.empty()) {
        m_track = {};
        m_startPending = false;
        m_openBegin = 0;
        return std::nullopt;
    }
    m_track.Points.back().Flags |= SegmentEnd;
    BuiltTrack track = std::move(m_track);
    m_track = {};
    m_openBegin = 0;
    m_startPending = false;
    return track;
}

void TrackStore::Install(BuiltTrack&& track)
{
    const int nPoints = static_cast<int>(track.Points.size());
    const int nTracks = static_cast<int>(track.Segments.size());

    // The copies are made before anything changes: running out of memory here leaves the
    // loaded track as it was. The reversed points are made now only when that is the direction.
    std::vector<TrackPoint> reversedPoints;
    if (m_reversed) reversedPoints = ReversedCopy(track.Points);

    std::vector<TrackSegment> reversedSegments;
    reversedSegments.reserve(track.Segments.size());
    for (auto it = track.Segments.rbegin(); it != track.Segments.rend(); ++it)
        reversedSegments.push_back(TrackSegment{nPoints - it->FirstPoint - it->PointCount + 2, it->PointCount,
                                                it->Length, {}});

    m_forwardPoints = std::move(track.Points);
    m_forwardSegments = std::move(track.Segments);
    LoadRemarks = std::move(track.Remarks);
    m_reversedPoints = std::move(reversedPoints);
    m_reversedSegments = std::move(reversedSegments);
    m_nPoints = nPoints;
    m_nTracks = nTracks;
    m_skippedPoints = track.SkippedPoints;
    m_loaded = true;
}

void TrackStore::SetReversed(bool reversed)
{
    if (reversed) MakeReversedPoints();
    m_reversed = reversed;
}

void TrackStore::MakeReversedPoints() const
{
    // A loaded track has points, so an empty reversed list is one not made yet.
    if (!m_loaded || !m_reversedPoints.empty()) return;
    m_reversedPoints = ReversedCopy(m_forwardPoints);
}

const TrackPoint* TrackStore::PointAt(int index) const
{
    auto points = ActivePoints();
    if (index < 0 || index >= static_cast<int>(points.size()))
        return nullptr;
    return &points[index];
}

const TrackSegment* TrackStore::SegmentAt(int s) const
{
    auto segments = ActiveSegments();
    if (s < 1 || s > static_cast<int>(segments.size()))
        return nullptr;
    return &segments[s - 1];
}

}  // namespace tolvex
