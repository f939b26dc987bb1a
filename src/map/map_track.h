#pragma once
// The loaded track as the map draws it: in unit coordinates, one simplified copy per zoom level
// (nothing the eye could tell apart at that zoom is kept), cut into short runs with bounding boxes
// so a frame only touches what is on the screen. Longitudes are unwrapped along each segment, so a
// segment that crosses the antimeridian stays one line.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "map/map_view.h"
#include "tracks/track_store.h"

namespace tolvex {

struct MapTrackPoint {
    double X = 0;  // unit coordinates; X may leave 0..1 where a segment crosses the antimeridian
    double Y = 0;
    std::int32_t Index = 0;  // 0-based position in the forward point list
};

// A run of consecutive points of one segment; neighbouring runs share their end point.
struct MapRun {
    UnitBox Box;
    int Segment = 0;  // 0-based, forward order
    int First = 0;    // into MapLevel::Points
    int Count = 0;
};

struct MapLevel {
    std::vector<MapTrackPoint> Points;
    std::vector<MapRun> Runs;
};

class MapTrack {
public:
    // Points of a run: short enough that culling is fine-grained, long enough to draw in one call.
    static constexpr int RunLength = 128;
    // How far (pixels at a level's zoom) a simplified line may stray from the points it stands for.
    static constexpr double TolerancePixels = 0.5;

    // Replaces the content by the forward points and segments of a track (none: empty).
    void Build(std::span<const TrackPoint> points, std::span<const TrackSegment> segments);
    void Clear();
    bool Empty() const { return m_levels.empty(); }
    int PointCount() const { return m_pointCount; }
    int SegmentCount() const { return m_segmentCount; }
    // The whole track in unit coordinates.
    const UnitBox& Bounds() const { return m_bounds; }

    // The copy drawn at a zoom (levels that would barely differ share one copy).
    const MapLevel& LevelFor(int zoom) const;
    // Points kept at each zoom, for the record.
    int PointsAt(int zoom) const { return static_cast<int>(LevelFor(zoom).Points.size()); }

    // Calls draw for every run of the zoom's copy inside box, with the points of the run.
    void ForEachVisibleRun(int zoom, const UnitBox& box,
                           const std::function<void(const MapRun&, std::span<const MapTrackPoint>)>& draw) const;

    // The smallest zoom at which the whole track fits in width × height pixels.
    int ZoomToFit(int width, int height) const;

private:
    std::vector<MapLevel> m_levels;         // distinct copies, finest first
    int m_levelOfZoom[MaxMapZoom + 1] = {};  // into m_levels
    UnitBox m_bounds;
    int m_pointCount = 0;
    int m_segmentCount = 0;
};

}  // namespace tolvex
