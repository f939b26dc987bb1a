#include "map/map_view.h"

#include <algorithm>
#include <cmath>

namespace tolvex {
namespace {

double WrapUnitX(double x) { return x - std::floor(x); }

}  // namespace

void MapView::Resize(int width, int height)
{
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
}

void MapView::CenterOn(double latitude, double longitude)
{
    const UnitPoint u = ToUnit(latitude, WrapMapLongitude(longitude));
    m_center = {WrapUnitX(u.X), u.Y};
}

void MapView::SetZoom(int zoom) { m_zoom = std::clamp(zoom, MinMapZoom, MaxMapZoom); }

GeoPosition MapView::ToGeo(double x, double y) const
{
    const double w = WorldPixels();
    return FromUnit({m_center.X + (x - m_width / 2.0) / w, m_center.Y + (y - m_height / 2.0) / w});
}

ScreenPos MapView::ToScreen(double latitude, double longitude) const
{
    const UnitPoint u = ToUnit(latitude, longitude);
    double dx = u.X - m_center.X;
    dx -= std::floor(dx + 0.5);  // the nearest copy of the world
    return UnitToScreen(m_center.X + dx, u.Y);
}

void MapView::PanBy(double dx, double dy)
{
    Follow = false;
    const double w = WorldPixels();
    m_center = {WrapUnitX(m_center.X - dx / w), std::clamp(m_center.Y - dy / w, 0.0, 1.0)};
}

void MapView::ZoomAbout(double x, double y, int steps)
{
    const int zoom = std::clamp(m_zoom + steps, MinMapZoom, MaxMapZoom);
    if (zoom == m_zoom) return;
    const double before = WorldPixels();
    const UnitPoint under{m_center.X + (x - m_width / 2.0) / before, m_center.Y + (y - m_height / 2.0) / before};
    m_zoom = zoom;
    const double after = WorldPixels();
    m_center = {WrapUnitX(under.X - (x - m_width / 2.0) / after),
                std::clamp(under.Y - (y - m_height / 2.0) / after, 0.0, 1.0)};
}

std::vector<PlacedTile> MapView::VisibleTiles() const
{
    const double w = WorldPixels();
    const double left = m_center.X * w - m_width / 2.0;
    const double top = m_center.Y * w - m_height / 2.0;
    const long long tiles = 1LL << m_zoom;
    const long long x0 = static_cast<long long>(std::floor(left / TileSize));
    const long long x1 = static_cast<long long>(std::ceil((left + m_width) / TileSize)) - 1;
    const long long y0 = std::max(0LL, static_cast<long long>(std::floor(top / TileSize)));
    const long long y1 = std::min(tiles - 1, static_cast<long long>(std::ceil((top + m_height) / TileSize)) - 1);
    std::vector<PlacedTile> placed;
    for (long long ty = y0; ty <= y1; ++ty)
        for (long long tx = x0; tx <= x1; ++tx)
            placed.push_back({{m_zoom, WrapTileX(tx, m_zoom), static_cast<int>(ty)},
                              static_cast<int>(std::lround(tx * TileSize - left)),
                              static_cast<int>(std::lround(ty * TileSize - top))});
    return placed;
}

UnitBox MapView::VisibleUnits() const
{
    const double w = WorldPixels();
    return {m_center.X - m_width / 2.0 / w, m_center.Y - m_height / 2.0 / w, m_center.X + m_width / 2.0 / w,
            m_center.Y + m_height / 2.0 / w};
}

}  // namespace tolvex
