#include "map/map_track.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tolvex {
namespace {

// Squared distance of p from the segment a..b.
double SegmentDistance2(const MapTrackPoint& p, const MapTrackPoint& a, const MapTrackPoint& b)
{
    const double dx = b.X - a.X;
    const double dy = b.Y - a.Y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = a.X + t * dx - p.X;
    const double ey = a.Y + t * dy - p.Y;
    return ex * ex + ey * ey;
}

// Douglas-Peucker on one segment's points, with an explicit stack: a million-point segment would
// recurse too deep. Appends the kept points, both ends always among them.
void Simplify(std::span<const MapTrackPoint> all, double tolerance, std::vector<MapTrackPoint>& out,
              std::vector<MapTrackPoint>& scratch)
{
    // First drop points within the tolerance of the last one kept (a logger standing still), which
    // costs one pass; Douglas-Peucker then straightens what is left.
    const double tol2 = tolerance * tolerance;
    scratch.clear();
    scratch.push_back(all.front());
    for (std::size_t i = 1; i + 1 < all.size(); ++i) {
        const double dx = all[i].X - scratch.back().X;
        const double dy = all[i].Y - scratch.back().Y;
        if (dx * dx + dy * dy > tol2) scratch.push_back(all[i]);
    }
    if (all.size() > 1) scratch.push_back(all.back());
    const std::span<const MapTrackPoint> in(scratch);
    if (in.size() <= 2) {
        out.insert(out.end(), in.begin(), in.end());
        return;
    }
    std::vector<char> keep(in.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, in.size() - 1}};
    while (!stack.empty()) {
        const auto [first, last] = stack.back();
        stack.pop_back();
        double worst = -1;
        std::size_t at = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = SegmentDistance2(in[i], in[first], in[last]);
            if (d > worst) {
                worst = d;
                at = i;
            }
        }
        if (worst > tol2) {
            keep[at] = 1;
            if (at - first > 1) stack.emplace_back(first, at);
            if (last - at > 1) stack.emplace_back(at, last);
        }
    }
    for (std::size_t i = 0; i < in.size(); ++i)
        if (keep[i]) out.push_back(in[i]);
}

struct SegmentSpan {
    int First = 0;
    int Count = 0;
};

void CutIntoRuns(MapLevel& level, const std::vector<SegmentSpan>& segments)
{
    for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
        const SegmentSpan seg = segments[s];
        for (int first = seg.First; first < seg.First + seg.Count - 1 || first == seg.First;
             first += MapTrack::RunLength - 1) {
            const int count = std::min(MapTrack::RunLength, seg.First + seg.Count - first);
            MapRun run{{1e9, 1e9, -1e9, -1e9}, s, first, count};
            for (int i = first; i < first + count; ++i) {
                const MapTrackPoint& p = level.Points[i];
                run.Box = {std::min(run.Box.Left, p.X), std::min(run.Box.Top, p.Y), std::max(run.Box.Right, p.X),
                           std::max(run.Box.Bottom, p.Y)};
            }
            level.Runs.push_back(run);
            if (count < MapTrack::RunLength) break;
        }
    }
}

}  // namespace

void MapTrack::Clear()
{
    m_levels.clear();
    std::fill(std::begin(m_levelOfZoom), std::end(m_levelOfZoom), 0);
    m_bounds = {};
    m_pointCount = 0;
    m_segmentCount = 0;
}

void MapTrack::Build(std::span<const TrackPoint> points, std::span<const TrackSegment> segments)
{
    Clear();
    if (points.empty() || segments.empty()) return;

    // All points in unit coordinates, each segment unwrapped from its first point.
    std::vector<MapTrackPoint> all;
    all.reserve(points.size());
    std::vector<SegmentSpan> spans;
    m_bounds = {1e9, 1e9, -1e9, -1e9};
    for (const TrackSegment& seg : segments) {
        const int first = std::max(seg.FirstPoint - 1, 0);
        const int end = std::min(first + seg.PointCount, static_cast<int>(points.size()));
        if (end <= first) continue;
        spans.push_back({static_cast<int>(all.size()), end - first});
        double previousX = 0;
        for (int i = first; i < end; ++i) {
            UnitPoint u = ToUnit(points[i].Latitude, WrapMapLongitude(points[i].Longitude));
            if (i > first) u.X += std::round(previousX - u.X);  // the copy nearest the previous point
            previousX = u.X;
            all.push_back({u.X, u.Y, i});
            m_bounds = {std::min(m_bounds.Left, u.X), std::min(m_bounds.Top, u.Y), std::max(m_bounds.Right, u.X),
                        std::max(m_bounds.Bottom, u.Y)};
        }
    }
    if (all.empty()) return;
    m_pointCount = static_cast<int>(all.size());
    m_segmentCount = static_cast<int>(spans.size());

    // Finest zoom first; each coarser copy is simplified from the one before, which is already
    // within half a pixel of the original at its own (finer) zoom.
    std::vector<SegmentSpan> sourceSpans = spans;
    std::vector<MapTrackPoint> scratch;
    m_levels.reserve(MaxMapZoom + 1);  // the source below refers into it
    for (int zoom = MaxMapZoom; zoom >= MinMapZoom; --zoom) {
        const std::vector<MapTrackPoint>& source = m_levels.empty() ? all : m_levels.back().Points;
        const double tolerance = TolerancePixels / WorldPixels(zoom);
        MapLevel level;
        std::vector<SegmentSpan> levelSpans;
        for (const SegmentSpan& span : sourceSpans) {
            const int begin = static_cast<int>(level.Points.size());
            Simplify(std::span(source).subspan(span.First, span.Count), tolerance, level.Points, scratch);
            levelSpans.push_back({begin, static_cast<int>(level.Points.size()) - begin});
        }
        // A copy that drops less than a fifth of the previous one is not worth its memory.
        if (!m_levels.empty() && level.Points.size() * 5 > m_levels.back().Points.size() * 4) {
            m_levelOfZoom[zoom] = static_cast<int>(m_levels.size()) - 1;
        } else {
            CutIntoRuns(level, levelSpans);
            m_levels.push_back(std::move(level));
            m_levelOfZoom[zoom] = static_cast<int>(m_levels.size()) - 1;
        }
        sourceSpans.clear();
        // The spans of the copy just used, rebuilt from its runs' segments.
        int s = -1;
        for (const MapRun& run : m_levels.back().Runs) {
            if (run.Segment != s) {
                sourceSpans.push_back({run.First, 0});
                s = run.Segment;
            }
            sourceSpans.back().Count = run.First + run.Count - sourceSpans.back().First;
        }
    }
}

const MapLevel& MapTrack::LevelFor(int zoom) const
{
    static const MapLevel none;
    if (m_levels.empty()) return none;
    return m_levels[m_levelOfZoom[std::clamp(zoom, MinMapZoom, MaxMapZoom)]];
}

void MapTrack::ForEachVisibleRun(int zoom, const UnitBox& box,
                                 const std::function<void(const MapRun&, std::span<const MapTrackPoint>)>& draw) const
{
    const MapLevel& level = LevelFor(zoom);
    for (const MapRun& run : level.Runs)
        if (run.Box.Intersects(box)) draw(run, std::span(level.Points).subspan(run.First, run.Count));
}

int MapTrack::ZoomToFit(int width, int height) const
{
    if (Empty()) return MinMapZoom;
    const double w = std::max(m_bounds.Right - m_bounds.Left, 1e-12);
    const double h = std::max(m_bounds.Bottom - m_bounds.Top, 1e-12);
    for (int zoom = MaxMapZoom; zoom > MinMapZoom; --zoom)
        if (w * WorldPixels(zoom) <= width && h * WorldPixels(zoom) <= height) return zoom;
    return MinMapZoom;
}

}  // namespace tolvex
