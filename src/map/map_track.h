#pragma once
// The loaded track as the map draws it: in unit coordinates, one simplified copy per zoom level
// (nothing the eye could tell apart at that zoom is kept), cut into short runs with bounding boxes
// so a frame only touches what is on the screen. Longitudes are unwrapped along each segment, so a
// segment that crosses the antimeridian stays one line.

#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
#include <unordered_map>
#include <vector>

#include "map/map_view.h"
#include "tracks/track_store.h"

namespace tolvex {

struct MapTrackPoint {
    double X = 0;  // unit coordinates; X may leave 0..1 where a segment crosses the antimeridian
    double Y = 0;
    std::int32_t Index = 0;  // 0-based position in the forward point list
};

// A tile of the map grid at some zoom, numbered as the track lies (X not wrapped).
struct MapTileKey {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend auto operator<=>(const MapTileKey&, const MapTileKey&) = default;
};

// What a pixel of a raster tile shows (see MapTrack::RasterTile).
enum MapRasterPixel : std::uint8_t { RasterEmpty = 0, RasterTrack = 1, RasterActive = 2 };

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

    // A tile holding more points than this at a zoom is drawn as a raster: a frame then costs
    // about the pixels on the screen, however densely a track scribbles over one place.
    static constexpr int DenseTilePoints = 256;
    // Tiles holding more points than this have their lines drawn once while the copies are made
    // (a frame would take too long over them), up to a budget of about 17 MB.
    static constexpr int PreparedTilePoints = 4096;
    static constexpr int PreparedTileBudget = 256;

    // Replaces the content by the forward points and segments of a track (none: empty). Gives up
    // and leaves the content empty, returning false, when stop is requested (a newer load).
    bool Build(std::span<const TrackPoint> points, std::span<const TrackSegment> segments, std::stop_token stop = {});
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

    // The copy's lines that are not drawn by raster tiles, cut into runs as LevelFor's are.
    const MapLevel& LinesFor(int zoom) const;
    // Calls draw for every run of LinesFor(zoom) inside box.
    void ForEachVisibleLine(int zoom, const UnitBox& box,
                            const std::function<void(const MapRun&, std::span<const MapTrackPoint>)>& draw) const;
    // The tiles of a zoom drawn as rasters, sorted; most zooms of most tracks have none.
    std::span<const MapTileKey> DenseTiles(int zoom) const;
    bool IsDense(int zoom, MapTileKey tile) const;
    // Draws the lines a dense tile (one of DenseTiles(zoom)) stands for into TileSize × TileSize pixels, row by row, as
    // MapRasterPixel values; the active segment (0-based, -1 none) is drawn wider, on top.
    void RasterTile(int zoom, MapTileKey tile, int activeSegment, std::span<std::uint8_t> pixels) const;
    // Changes with every build, so a cache of rasters can tell a new track from the old.
    std::uint64_t Generation() const { return m_generation; }

    // The smallest zoom at which the whole track fits in width × height pixels.
    int ZoomToFit(int width, int height) const;

private:
    // A dense tile's lines, one pixel wide, in a frame a pixel larger than the tile all round.
    static constexpr int CoreSide = TileSize + 2;
    struct PreparedTile {
        MapTileKey Key;
        std::vector<int> Segments;       // the segments drawn in it (at most 8)
        std::vector<std::uint8_t> Core;  // CoreSide × CoreSide; bit i where segment Segments[i] passes
    };
    struct ZoomDetail {
        std::vector<MapTileKey> DenseTiles;
        MapLevel Lines;  // used only when there are dense tiles; LevelFor(zoom) otherwise
        std::vector<PreparedTile> Prepared;  // sorted by key
    };
    void FindDenseTiles(int zoom, const std::stop_token& stop);
    void PrepareTiles(int zoom, const std::unordered_map<std::uint64_t, int>& counts, const std::stop_token& stop);
    // Draws the lines of a tile one pixel wide into core, each pixel or-ed with bitOf(segment).
    template <typename BitOf>
    void DrawCore(int zoom, MapTileKey tile, std::vector<std::uint8_t>& core, BitOf&& bitOf) const;
    bool DrawnAsRaster(int zoom, const MapTrackPoint& a, const MapTrackPoint& b) const;

    std::vector<MapLevel> m_levels;         // distinct copies, finest first
    ZoomDetail m_detail[MaxMapZoom + 1];
    int m_levelOfZoom[MaxMapZoom + 1] = {};  // into m_levels
    UnitBox m_bounds;
    int m_pointCount = 0;
    int m_segmentCount = 0;
    int m_preparedTiles = 0;
    std::uint64_t m_generation = 0;
};

}  // namespace tolvex
