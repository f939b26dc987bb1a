#pragma once
// One frame of the map: grid, tiles, track, trail, fix, scale bar and the texts. Kept apart from
// the window so a frame can be drawn into any picture (the benchmark draws into an image).

#include <QPainter>
#include <QString>

#include "map/fix_trail.h"
#include "map/map_track.h"
#include "map/map_view.h"

namespace tolvex {

class TileSource;

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
};

// Point numbers are written from this zoom on, when few enough points are in view.
inline constexpr int PointNumberZoom = 16;
inline constexpr int MaxPointNumbers = 400;

void PaintMap(QPainter& painter, const MapScene& scene);

}  // namespace tolvex
