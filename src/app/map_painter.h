#pragma once
// One frame of the map: grid, tiles, track, trail, fix, scale bar and the texts. Kept apart from
// the window so a frame can be drawn into any picture (the benchmark draws into an image).

#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <vector>

#include "map/fix_trail.h"
#include "map/map_track.h"
#include "map/map_view.h"

namespace tolvex {

class TileSource;

// The raster tiles of a dense track as images ready to draw, kept from frame to frame so a frame
// only makes the tiles that came into view. Forgets everything when the track is rebuilt.
class MapRasterCache {
public:
    QImage Tile(const MapTrack& track, int zoom, MapTileKey tile, int activeSegment);

private:
    struct Entry {
        int Zoom = 0;
        MapTileKey Key;
        int ActiveSegment = -1;
        std::uint64_t LastUsed = 0;
        QImage Image;
    };
    static constexpr std::size_t Capacity = 96;  // a full-screen view at 1920 × 1200 and some to pan into
    std::uint64_t m_generation = 0;
    std::uint64_t m_clock = 0;
    std::vector<Entry> m_entries;
};

struct MapScene {
    const MapView* View = nullptr;
    const MapTrack* Track = nullptr;  // may be empty
    int ActiveSegment = -1;           // 0-based in forward order; -1 none
    bool Reversed = false;            // point numbers count from the other end
    const FixTrail* Trail = nullptr;
    bool ShowFix = true;
    double FixLatitude = 0;   // degrees
    double FixLongitude = 0;  // degrees
    double FixCourse = 0;     // degrees clockwise from north
    TileSource* Tiles = nullptr;  // none: the grid alone
    QString MouseText;            // the place under the mouse, in the panel's format
    QString Note;                 // a word on the map's state, drawn under the buttons; may be empty
    MapRasterCache* Rasters = nullptr;  // none: dense tiles are made afresh for the frame
};

// Point numbers are written from this zoom on, when few enough points are in view.
inline constexpr int PointNumberZoom = 16;
inline constexpr int MaxPointNumbers = 400;

void PaintMap(QPainter& painter, const MapScene& scene);

}  // namespace tolvex
