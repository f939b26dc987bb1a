#include "tracks/track_store.h"

#include <algorithm>

#include "sim/geodesy.h"

namespace tolvex {

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

void SegmentBuilder::AddTrackPoint(const TrackPoint& point)
{
    m_track.Points.push_back(point);
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
    m_track.Points.reserve(points);
}

bool SegmentBuilder::Accepts(std::span<const TrackPoint> points, double length) const
{
    if (static_cast<long long>(points.size()) < m_minTrackPoints)
        return false;
    return !(length < m_minTrackLength);
}

bool SegmentBuilder::CloseSegment(std::string name)
{
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
    if (OpenPointCount() > 0)
        CloseSegment();
    if (m_track.Points.empty()) {
        m_track = {};
        m_openBegin = 0;
        return std::nullopt;
    }
    m_track.Points.back().Flags |= SegmentEnd;
    BuiltTrack track = std::move(m_track);
    m_track = {};
    m_openBegin = 0;
    return track;
}

void TrackStore::Install(BuiltTrack&& track)
{
    m_forwardPoints = std::move(track.Points);
    m_forwardSegments = std::move(track.Segments);
    LoadRemarks = std::move(track.Remarks);
    const int nPoints = static_cast<int>(m_forwardPoints.size());
    const int nTracks = static_cast<int>(m_forwardSegments.size());

    m_reversedPoints.clear();
    m_reversedPoints.reserve(m_forwardPoints.size());
    for (auto it = m_forwardPoints.rbegin(); it != m_forwardPoints.rend(); ++it)
        m_reversedPoints.push_back(ReversedPoint(*it));

    m_reversedSegments.clear();
    m_reversedSegments.reserve(m_forwardSegments.size());
    for (auto it = m_forwardSegments.rbegin(); it != m_forwardSegments.rend(); ++it)
        m_reversedSegments.push_back(TrackSegment{nPoints - it->FirstPoint - it->PointCount + 2, it->PointCount,
                                                  it->Length, {}});

    m_nPoints = nPoints;
    m_nTracks = nTracks;
    m_loaded = true;
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
