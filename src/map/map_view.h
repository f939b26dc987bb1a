#pragma once
// What the map window shows: the centre, the zoom, the size in pixels and whether it follows the
// fix. Converts between screen pixels and places, pans and zooms about a pixel.

#include <vector>

#include "map/tile_math.h"

namespace tolvex {

struct ScreenPos {
    double X = 0;  // pixels from the view's left edge
    double Y = 0;  // pixels from the view's top edge
};

// A part of the world square in unit coordinates; X may run past 0..1 near the antimeridian.
struct UnitBox {
    double Left = 0;
    double Top = 0;
    double Right = 0;
    double Bottom = 0;
    bool Intersects(const UnitBox& o) const { return Left <= o.Right && o.Left <= Right && Top <= o.Bottom && o.Top <= Bottom; }
};

// A tile to draw and where its top-left corner lands on the screen.
struct PlacedTile {
    TileId Tile;
    int X = 0;
    int Y = 0;
    friend bool operator==(const PlacedTile&, const PlacedTile&) = default;
};

class MapView {
public:
    void Resize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // Centre on a place (degrees); the latitude is held inside the Mercator limit.
    void CenterOn(double latitude, double longitude);
    GeoPosition Center() const { return FromUnit(m_center); }
    UnitPoint CenterUnit() const { return m_center; }
    void SetZoom(int zoom);
    int Zoom() const { return m_zoom; }
    double WorldPixels() const { return tolvex::WorldPixels(m_zoom); }

    // The place under a pixel; the longitude wrapped into [-180, 180).
    GeoPosition ToGeo(double x, double y) const;
    // The pixel of a place, on the copy of the world nearest the centre.
    ScreenPos ToScreen(double latitude, double longitude) const;
    // The pixel of a unit point taken as it is (no choice of world copy).
    ScreenPos UnitToScreen(double unitX, double unitY) const
    {
        return {(unitX - m_center.X) * WorldPixels() + m_width / 2.0, (unitY - m_center.Y) * WorldPixels() + m_height / 2.0};
    }

    // Dragging: the map moves with the mouse by (dx, dy) pixels, and stops following the fix.
    void PanBy(double dx, double dy);
    // The wheel: steps zoom levels in (positive) or out, keeping the place under (x, y) there.
    void ZoomAbout(double x, double y, int steps);

    // Every tile that covers the view, left to right and top to bottom; columns west or east of
    // the world come back wrapped, so the antimeridian is seamless.
    std::vector<PlacedTile> VisibleTiles() const;
    // The view in unit coordinates, X not wrapped.
    UnitBox VisibleUnits() const;

    bool Follow = true;

private:
    UnitPoint m_center{0.5, 0.5};
    int m_zoom = 2;
    int m_width = 256;
    int m_height = 256;
};

}  // namespace tolvex
