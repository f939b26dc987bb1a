#include "map/map_track.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <unordered_map>
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
// recurse too deep. Appends the kept points, both ends always among them. Stops early when asked
// to (the caller then throws the result away), so a stale build ends within milliseconds.
void Simplify(std::span<const MapTrackPoint> all, double tolerance, std::vector<MapTrackPoint>& out,
              std::vector<MapTrackPoint>& scratch, const std::stop_token& stop)
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
    while (!stack.empty() && !stop.stop_requested()) {
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

// Consecutive points of one segment in a level's point list.
struct SegmentSpan {
    int First = 0;
    int Count = 0;
    int Segment = 0;
};

void CutIntoRuns(MapLevel& level, const std::vector<SegmentSpan>& segments)
{
    for (const SegmentSpan& seg : segments) {
        const int s = seg.Segment;
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

// The tile a point lies in at a zoom with `tiles` tiles across the world.
MapTileKey TileOf(const MapTrackPoint& p, double tiles)
{
    return {static_cast<std::int32_t>(std::floor(p.X * tiles)), static_cast<std::int32_t>(std::floor(p.Y * tiles))};
}

std::uint64_t KeyOf(MapTileKey t)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(t.X)) << 32) | static_cast<std::uint32_t>(t.Y);
}

std::atomic<std::uint64_t> BuildCounter{0};

}  // namespace

void MapTrack::Clear()
{
    m_generation = ++BuildCounter;
    for (ZoomDetail& detail : m_detail) detail = {};
    m_preparedTiles = 0;
    m_levels.clear();
    std::fill(std::begin(m_levelOfZoom), std::end(m_levelOfZoom), 0);
    m_bounds = {};
    m_pointCount = 0;
    m_segmentCount = 0;
}

bool MapTrack::Build(std::span<const TrackPoint> points, std::span<const TrackSegment> segments, std::stop_token stop)
{
    Clear();
    if (points.empty() || segments.empty()) return true;

    // All points in unit coordinates, each segment unwrapped from its first point.
    std::vector<MapTrackPoint> all;
    all.reserve(points.size());
    std::vector<SegmentSpan> spans;
    m_bounds = {1e9, 1e9, -1e9, -1e9};
    for (const TrackSegment& seg : segments) {
        const int first = std::max(seg.FirstPoint - 1, 0);
        const int end = std::min(first + seg.PointCount, static_cast<int>(points.size()));
        if (end <= first) continue;
        spans.push_back({static_cast<int>(all.size()), end - first, static_cast<int>(spans.size())});
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
    if (all.empty()) return true;
    m_pointCount = static_cast<int>(all.size());
    m_segmentCount = static_cast<int>(spans.size());

    // Finest zoom first; each coarser copy is simplified from the one before, which is already
    // within half a pixel of the original at its own (finer) zoom.
    std::vector<SegmentSpan> sourceSpans = spans;
    std::vector<MapTrackPoint> scratch;
    m_levels.reserve(MaxMapZoom + 1);  // the source below refers into it
    for (int zoom = MaxMapZoom; zoom >= MinMapZoom; --zoom) {
        if (stop.stop_requested()) {
            Clear();
            return false;
        }
        const std::vector<MapTrackPoint>& source = m_levels.empty() ? all : m_levels.back().Points;
        const double tolerance = TolerancePixels / WorldPixels(zoom);
        MapLevel level;
        std::vector<SegmentSpan> levelSpans;
        for (const SegmentSpan& span : sourceSpans) {
            const int begin = static_cast<int>(level.Points.size());
            Simplify(std::span(source).subspan(span.First, span.Count), tolerance, level.Points, scratch, stop);
            levelSpans.push_back({begin, static_cast<int>(level.Points.size()) - begin, span.Segment});
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
                sourceSpans.push_back({run.First, 0, run.Segment});
                s = run.Segment;
            }
            sourceSpans.back().Count = run.First + run.Count - sourceSpans.back().First;
        }
    }
    for (int zoom = MinMapZoom; zoom <= MaxMapZoom; ++zoom) {
        if (stop.stop_requested()) {
            Clear();
            return false;
        }
        FindDenseTiles(zoom, stop);
    }
    return true;
}

void MapTrack::FindDenseTiles(int zoom, const std::stop_token& stop)
{
    const MapLevel& level = LevelFor(zoom);
    if (level.Points.size() <= DenseTilePoints) return;
    const double tiles = WorldPixels(zoom) / TileSize;
    std::unordered_map<std::uint64_t, int> counts;
    // Neighbouring points mostly share a tile: count runs of them, and look up once per run.
    MapTileKey current = TileOf(level.Points.front(), tiles);
    int same = 0;
    for (const MapTrackPoint& p : level.Points) {
        const MapTileKey t = TileOf(p, tiles);
        if (t != current) {
            counts[KeyOf(current)] += same;
            current = t;
            same = 0;
        }
        ++same;
    }
    counts[KeyOf(current)] += same;
    ZoomDetail& detail = m_detail[zoom];
    for (const auto& [key, count] : counts)
        if (count > DenseTilePoints)
            detail.DenseTiles.push_back({static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xffffffffu)});
    if (detail.DenseTiles.empty()) return;
    std::sort(detail.DenseTiles.begin(), detail.DenseTiles.end());

    // The lines left over: chains of the edges no raster draws, cut into runs again.
    std::vector<SegmentSpan> chains;
    int chainEnd = -1;  // index in level.Points of the last point of the open chain
    for (const MapRun& run : level.Runs) {
        for (int i = run.First; i + 1 < run.First + run.Count; ++i) {
            if (DrawnAsRaster(zoom, level.Points[i], level.Points[i + 1])) continue;
            if (chainEnd != i || chains.empty() || chains.back().Segment != run.Segment) {
                chains.push_back({static_cast<int>(detail.Lines.Points.size()), 1, run.Segment});
                detail.Lines.Points.push_back(level.Points[i]);
            }
            detail.Lines.Points.push_back(level.Points[i + 1]);
            ++chains.back().Count;
            chainEnd = i + 1;
        }
    }
    CutIntoRuns(detail.Lines, chains);
    PrepareTiles(zoom, counts, stop);
}

bool MapTrack::DrawnAsRaster(int zoom, const MapTrackPoint& a, const MapTrackPoint& b) const
{
    // An edge into a side neighbour is drawn by both rasters, each clipped to its own tile; one
    // leaving for any other tile stays a line, so no tile it passes can miss it.
    const double tiles = WorldPixels(zoom) / TileSize;
    const MapTileKey ta = TileOf(a, tiles);
    const MapTileKey tb = TileOf(b, tiles);
    if (std::abs(ta.X - tb.X) + std::abs(ta.Y - tb.Y) > 1) return false;
    return IsDense(zoom, ta) && (ta == tb || IsDense(zoom, tb));
}

std::span<const MapTileKey> MapTrack::DenseTiles(int zoom) const
{
    return m_detail[std::clamp(zoom, MinMapZoom, MaxMapZoom)].DenseTiles;
}

bool MapTrack::IsDense(int zoom, MapTileKey tile) const
{
    const std::span<const MapTileKey> dense = DenseTiles(zoom);
    return std::binary_search(dense.begin(), dense.end(), tile);
}

const MapLevel& MapTrack::LinesFor(int zoom) const
{
    zoom = std::clamp(zoom, MinMapZoom, MaxMapZoom);
    return m_detail[zoom].DenseTiles.empty() ? LevelFor(zoom) : m_detail[zoom].Lines;
}

void MapTrack::ForEachVisibleLine(int zoom, const UnitBox& box,
                                  const std::function<void(const MapRun&, std::span<const MapTrackPoint>)>& draw) const
{
    const MapLevel& level = LinesFor(zoom);
    for (const MapRun& run : level.Runs)
        if (run.Box.Intersects(box)) draw(run, std::span(level.Points).subspan(run.First, run.Count));
}

template <typename BitOf>
void MapTrack::DrawCore(int zoom, MapTileKey tile, std::vector<std::uint8_t>& core, BitOf&& bitOf) const
{
    core.assign(CoreSide * CoreSide, 0);
    const double w = WorldPixels(zoom);
    const double tiles = w / TileSize;
    const double originX = static_cast<double>(tile.X) * TileSize;
    const double originY = static_cast<double>(tile.Y) * TileSize;
    const UnitBox box{(originX - 1) / w, (originY - 1) / w, (originX + TileSize + 1) / w, (originY + TileSize + 1) / w};
    const MapLevel& level = LevelFor(zoom);
    for (const MapRun& run : level.Runs) {
        if (!run.Box.Intersects(box)) continue;
        for (int i = run.First; i + 1 < run.First + run.Count; ++i) {
            const MapTrackPoint& a = level.Points[i];
            const MapTrackPoint& b = level.Points[i + 1];
            const double ax = a.X * w - originX, ay = a.Y * w - originY;
            const double bx = b.X * w - originX, by = b.Y * w - originY;
            if (std::max(ax, bx) < -1 || std::min(ax, bx) > TileSize + 1 || std::max(ay, by) < -1 ||
                std::min(ay, by) > TileSize + 1)
                continue;
            // Most edges lie inside the tile itself, which is dense: only the others need looking up.
            const bool inside = TileOf(a, tiles) == tile && TileOf(b, tiles) == tile;
            if (!inside && !DrawnAsRaster(zoom, a, b)) continue;
            const std::uint8_t bit = bitOf(run.Segment);
            const int steps = static_cast<int>(std::ceil(std::max(std::abs(bx - ax), std::abs(by - ay))));
            for (int k = 0; k <= steps; ++k) {
                const double t = steps > 0 ? static_cast<double>(k) / steps : 0;
                const int x = static_cast<int>(std::floor(ax + t * (bx - ax))) + 1;
                const int y = static_cast<int>(std::floor(ay + t * (by - ay))) + 1;
                if (x >= 0 && x < CoreSide && y >= 0 && y < CoreSide) core[y * CoreSide + x] |= bit;
            }
        }
    }
}

void MapTrack::PrepareTiles(int zoom, const std::unordered_map<std::uint64_t, int>& counts, const std::stop_token& stop)
{
    ZoomDetail& detail = m_detail[zoom];
    for (const MapTileKey& tile : detail.DenseTiles) {
        if (m_preparedTiles >= PreparedTileBudget || stop.stop_requested()) return;
        if (counts.at(KeyOf(tile)) <= PreparedTilePoints) continue;
        // Each segment in the tile gets a bit of its own, so the active one can be told apart later.
        PreparedTile prepared{tile, {}, {}};
        bool tooMany = false;
        DrawCore(zoom, tile, prepared.Core, [&](int segment) -> std::uint8_t {
            const auto slot = std::find(prepared.Segments.begin(), prepared.Segments.end(), segment);
            if (slot != prepared.Segments.end()) return static_cast<std::uint8_t>(1u << (slot - prepared.Segments.begin()));
            if (prepared.Segments.size() == 8) {
                tooMany = true;
                return 0;
            }
            prepared.Segments.push_back(segment);
            return static_cast<std::uint8_t>(1u << (prepared.Segments.size() - 1));
        });
        if (tooMany) continue;  // drawn when needed instead
        detail.Prepared.push_back(std::move(prepared));
        ++m_preparedTiles;
    }
}

void MapTrack::RasterTile(int zoom, MapTileKey tile, int activeSegment, std::span<std::uint8_t> pixels) const
{
    // Each line is drawn one pixel wide into a frame one pixel larger than the tile on every
    // side, then widened as the painter widens its lines: by one pixel right and down, and the
    // active segment by one more all round.
    std::vector<std::uint8_t> core;
    const std::vector<PreparedTile>& prepared = m_detail[std::clamp(zoom, MinMapZoom, MaxMapZoom)].Prepared;
    const auto found = std::lower_bound(prepared.begin(), prepared.end(), tile,
                                        [](const PreparedTile& p, MapTileKey key) { return p.Key < key; });
    if (found != prepared.end() && found->Key == tile) {
        const auto slot = std::find(found->Segments.begin(), found->Segments.end(), activeSegment);
        const unsigned activeBit = slot == found->Segments.end() ? 0 : 1u << (slot - found->Segments.begin());
        core.resize(found->Core.size());
        for (std::size_t i = 0; i < core.size(); ++i)
            core[i] = static_cast<std::uint8_t>(((found->Core[i] & activeBit) ? 2 : 0) | ((found->Core[i] & ~activeBit) ? 1 : 0));
    } else {
        DrawCore(zoom, tile, core, [&](int segment) -> std::uint8_t { return segment == activeSegment ? 2 : 1; });
    }
    constexpr int Side = CoreSide;
    for (int y = 0; y < TileSize; ++y) {
        for (int x = 0; x < TileSize; ++x) {
            const std::uint8_t* c = &core[(y + 1) * Side + x + 1];
            const int thin = c[0] | c[-1] | c[-Side];
            const int wide = thin | c[-Side - 1] | c[1] | c[Side];
            pixels[y * TileSize + x] = (wide & 2) ? RasterActive : (thin & 1) ? RasterTrack : RasterEmpty;
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
