// The track as the map draws it: simplified copies stay within a pixel of every point, runs keep
// to their segments, culling misses nothing on the screen, and the trail breaks at jumps.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <unordered_set>

#include "map/fix_trail.h"
#include "map/map_track.h"

namespace tolvex {
namespace {

// One track of segments given as point lists.
struct TestTrack {
    std::vector<TrackPoint> Points;
    std::vector<TrackSegment> Segments;

    void AddSegment(const std::vector<std::pair<double, double>>& places)
    {
        TrackSegment seg;
        seg.FirstPoint = static_cast<int>(Points.size()) + 1;
        seg.PointCount = static_cast<int>(places.size());
        for (const auto& [lat, lon] : places) Points.push_back({lat, lon, 0, 0, 0});
        Segments.push_back(seg);
    }
};

// A drive with a slowly wandering heading, 10 m per point (a fixed generator, so runs repeat).
std::vector<std::pair<double, double>> Drive(int count, double lat, double lon, unsigned seed)
{
    std::vector<std::pair<double, double>> places;
    double heading = 0.3;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        heading += ((seed >> 8) % 2001 - 1000) * 1e-4;
        lat += 10 * std::cos(heading) / 111320;
        lon += 10 * std::sin(heading) / (111320 * std::cos(lat * 0.017453292519943295));
        places.emplace_back(lat, lon);
    }
    return places;
}

// Distance in pixels at zoom of the original point from the drawn line between the kept points
// around it.
double WorstStray(const TestTrack& track, const MapTrack& map, int zoom)
{
    const MapLevel& level = map.LevelFor(zoom);
    const double w = WorldPixels(zoom);
    double worst = 0;
    for (std::size_t k = 0; k + 1 < level.Points.size(); ++k) {
        const MapTrackPoint& a = level.Points[k];
        const MapTrackPoint& b = level.Points[k + 1];
        if (b.Index <= a.Index) continue;  // the seam between two runs or segments
        for (int i = a.Index + 1; i < b.Index; ++i) {
            UnitPoint p = ToUnit(track.Points[i].Latitude, track.Points[i].Longitude);
            p.X += std::round(a.X - p.X);
            const double dx = b.X - a.X, dy = b.Y - a.Y;
            const double len2 = dx * dx + dy * dy;
            const double t = len2 > 0 ? std::clamp(((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2, 0.0, 1.0) : 0;
            worst = std::max(worst, std::hypot(a.X + t * dx - p.X, a.Y + t * dy - p.Y) * w);
        }
    }
    return worst;
}

TEST(MapTrackLevels, EveryCopyStaysWithinAPixelAndKeepsSegmentEnds)
{
    TestTrack track;
    track.AddSegment(Drive(20000, 31.2, 121.4, 7));
    track.AddSegment(Drive(5000, 31.3, 121.5, 9));
    MapTrack map;
    map.Build(track.Points, track.Segments);
    ASSERT_EQ(map.PointCount(), 25000);
    ASSERT_EQ(map.SegmentCount(), 2);

    int previous = map.PointsAt(MaxMapZoom);
    for (int zoom : {18, 15, 12, 9, 6, 3, 0}) {
        EXPECT_LE(WorstStray(track, map, zoom), 1.0) << "zoom " << zoom;
        const int kept = map.PointsAt(zoom);
        EXPECT_LE(kept, previous) << "zoom " << zoom;
        previous = kept;
    }
    // The whole drive is a few pixels at zoom 0: the two segments' ends are about all that is left.
    EXPECT_LE(map.PointsAt(0), 8);
    EXPECT_LT(map.PointsAt(12), 25000 / 4);

    // Runs keep to one segment, and every segment starts and ends on its own first and last point.
    for (int zoom : {19, 10, 0}) {
        const MapLevel& level = map.LevelFor(zoom);
        std::set<int> firsts, lasts;
        for (const MapRun& run : level.Runs) {
            ASSERT_LE(run.Count, MapTrack::RunLength);
            const int s = run.Segment;
            const int begin = track.Segments[s].FirstPoint - 1;
            const int end = begin + track.Segments[s].PointCount;
            for (int i = run.First; i < run.First + run.Count; ++i) {
                EXPECT_GE(level.Points[i].Index, begin);
                EXPECT_LT(level.Points[i].Index, end);
            }
            firsts.insert(level.Points[run.First].Index);
            lasts.insert(level.Points[run.First + run.Count - 1].Index);
        }
        EXPECT_TRUE(firsts.contains(0) && firsts.contains(20000)) << zoom;
        EXPECT_TRUE(lasts.contains(19999) && lasts.contains(24999)) << zoom;
    }
}

// A walk of 10 m steps in ever-changing directions, held inside a circle of radius metres.
std::vector<std::pair<double, double>> Scribble(int count, double lat, double lon, double radius, unsigned seed)
{
    std::vector<std::pair<double, double>> places;
    double north = 0, east = 0, heading = 0;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        heading += (((seed >> 8) % 2001) - 1000) * 1e-3;
        if (north * north + east * east > radius * radius) heading = std::atan2(-east, -north);
        north += 10 * std::cos(heading);
        east += 10 * std::sin(heading);
        places.emplace_back(lat + north / 111320, lon + east / (111320 * std::cos(lat * 0.017453292519943295)));
    }
    return places;
}

// The pixels (world pixels at a zoom, as one key) a line from a to b passes through.
void LinePixels(double ax, double ay, double bx, double by, std::unordered_set<std::int64_t>& out)
{
    const int steps = static_cast<int>(std::ceil(std::max(std::abs(bx - ax), std::abs(by - ay)))) * 2 + 1;
    for (int k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        out.insert((static_cast<std::int64_t>(std::floor(ay + t * (by - ay))) << 32) +
                   static_cast<std::int64_t>(std::floor(ax + t * (bx - ax))));
    }
}

// Whether some pixel within reach (pixels, each way) of key is in the set.
bool Near(const std::unordered_set<std::int64_t>& pixels, std::int64_t key, int reach)
{
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
            if (pixels.contains(key + (static_cast<std::int64_t>(dy) << 32) + dx)) return true;
    return false;
}

TEST(MapTrackLevels, ADenseTrackDrawnAsRastersAndLinesCoversItsPixelsAndNoOthers)
{
    TestTrack track;
    track.AddSegment(Scribble(40000, 31.2, 121.4, 600, 5));
    track.AddSegment(Scribble(15000, 31.2, 121.4, 400, 6));
    MapTrack map;
    map.Build(track.Points, track.Segments);

    for (int zoom : {11, 13, 15, 17}) {
        SCOPED_TRACE(zoom);
        const double w = WorldPixels(zoom);
        // Every pixel the full track passes through.
        std::unordered_set<std::int64_t> full;
        UnitPoint previous = ToUnit(track.Points[0].Latitude, track.Points[0].Longitude);
        for (std::size_t i = 0; i < track.Points.size(); ++i) {
            const UnitPoint u = ToUnit(track.Points[i].Latitude, track.Points[i].Longitude);
            if (i == 40000) previous = u;  // the second segment starts afresh
            LinePixels(previous.X * w, previous.Y * w, u.X * w, u.Y * w, full);
            previous = u;
        }
        // Every pixel drawn: the dense tiles' rasters and the lines left over.
        const std::span<const MapTileKey> dense = map.DenseTiles(zoom);
        ASSERT_FALSE(dense.empty());
        std::unordered_set<std::int64_t> drawn;
        std::vector<std::uint8_t> raster(TileSize * TileSize);
        for (const MapTileKey& tile : dense) {
            map.RasterTile(zoom, tile, -1, raster);
            for (int i = 0; i < TileSize * TileSize; ++i) {
                ASSERT_NE(raster[i], RasterActive);
                if (raster[i] == RasterTrack)
                    drawn.insert((static_cast<std::int64_t>(tile.Y * TileSize + i / TileSize) << 32) + tile.X * TileSize + i % TileSize);
            }
        }
        const MapLevel& lines = map.LinesFor(zoom);
        for (const MapRun& run : lines.Runs)
            for (int i = run.First; i + 1 < run.First + run.Count; ++i)
                LinePixels(lines.Points[i].X * w, lines.Points[i].Y * w, lines.Points[i + 1].X * w, lines.Points[i + 1].Y * w,
                           drawn);
        // A frame walks few points: the rasters stand for nearly all of them.
        EXPECT_LT(lines.Points.size() * 10, map.LevelFor(zoom).Points.size());
        // Within a pixel of the full track, allowing the one pixel a line is widened by.
        int lost = 0, stray = 0;
        for (const std::int64_t key : full) lost += !Near(drawn, key, 1);
        for (const std::int64_t key : drawn) stray += !Near(full, key, 2);
        EXPECT_EQ(lost, 0);
        EXPECT_EQ(stray, 0);
    }

    // The active segment is drawn wider and on top, whether the tile was drawn with the copies
    // (zoom 15, crowded) or is drawn when asked (zoom 17).
    for (int zoom : {15, 17}) {
        SCOPED_TRACE(zoom);
        const MapTileKey tile = map.DenseTiles(zoom)[map.DenseTiles(zoom).size() / 2];
        std::vector<std::uint8_t> plain(TileSize * TileSize), active(TileSize * TileSize);
        map.RasterTile(zoom, tile, -1, plain);
        map.RasterTile(zoom, tile, 0, active);
        int widened = 0, lostByActive = 0;
        for (int i = 0; i < TileSize * TileSize; ++i) {
            widened += plain[i] == RasterEmpty && active[i] == RasterActive;
            lostByActive += plain[i] != RasterEmpty && active[i] == RasterEmpty;
        }
        EXPECT_GT(widened, 0);
        EXPECT_EQ(lostByActive, 0);
        EXPECT_GT(std::count(active.begin(), active.end(), RasterTrack), 0);  // the other segment
    }
}

TEST(MapTrackCulling, VisibleRunsHoldEveryPointOnTheScreenAndLittleElse)
{
    TestTrack track;
    track.AddSegment(Drive(50000, 47.0, 8.0, 3));
    MapTrack map;
    map.Build(track.Points, track.Segments);

    MapView view;
    view.Resize(800, 600);
    view.SetZoom(17);
    view.CenterOn(track.Points[25000].Latitude, track.Points[25000].Longitude);
    const UnitBox box = view.VisibleUnits();

    std::set<int> drawn;
    int runs = 0;
    map.ForEachVisibleRun(17, box, [&](const MapRun&, std::span<const MapTrackPoint> points) {
        ++runs;
        for (const MapTrackPoint& p : points) drawn.insert(p.Index);
    });
    const MapLevel& level = map.LevelFor(17);
    for (const MapTrackPoint& p : level.Points) {
        const bool inside = p.X >= box.Left && p.X <= box.Right && p.Y >= box.Top && p.Y <= box.Bottom;
        if (inside) {
            EXPECT_TRUE(drawn.contains(p.Index)) << p.Index;
        }
    }
    EXPECT_GT(runs, 0);
    EXPECT_LT(runs * 10, static_cast<int>(level.Runs.size()));
}

TEST(MapTrackAntimeridian, ASegmentCrossingTheLineStaysOneShortLine)
{
    TestTrack track;
    track.AddSegment({{-16.0, 179.98}, {-16.0, 179.99}, {-16.0, -179.99}, {-16.0, -179.98}});
    MapTrack map;
    map.Build(track.Points, track.Segments);
    const UnitBox& bounds = map.Bounds();
    EXPECT_NEAR((bounds.Right - bounds.Left) * 360, 0.04, 1e-9);
    // The zoom that fits 0.04 degrees of longitude in 400 pixels: 2^13 tiles.
    EXPECT_EQ(map.ZoomToFit(400, 400), 13);
}

TEST(MapTrail, KeepsTheLastMinutesAndBreaksAtJumps)
{
    FixTrail trail;
    trail.Add(0, 30, 120, 10);
    trail.Add(1, 30.0001, 120, 10);   // 11 m in a second at 10 m/s: driven
    trail.Add(2, 30.0001, 120, 10);   // standing still adds nothing
    trail.Add(3, 31, 121, 10);        // 140 km: a jump
    trail.Add(302, 31.0001, 121, 10);  // the first two are older than five minutes now
    ASSERT_EQ(trail.Samples().size(), 2u);
    EXPECT_TRUE(trail.Samples()[0].Break);
    EXPECT_EQ(trail.Samples()[0].Latitude, 31);
    EXPECT_FALSE(trail.Samples()[1].Break);
    trail.Add(303, 40, 121, 10);
    EXPECT_TRUE(trail.Samples().back().Break);
}

}  // namespace
}  // namespace tolvex
