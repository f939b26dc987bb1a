#include "map/tile_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvex {
namespace {

constexpr double EquatorRadius = 6378137.0;  // metres, WGS-84
constexpr double DegToRad = std::numbers::pi / 180;

}  // namespace

double WorldPixels(int zoom) { return std::ldexp(static_cast<double>(TileSize), zoom); }

UnitPoint ToUnit(double latitude, double longitude)
{
    const double lat = std::clamp(latitude, -MercatorLimit, MercatorLimit) * DegToRad;
    const double y = 0.5 - std::log(std::tan(std::numbers::pi / 4 + lat / 2)) / (2 * std::numbers::pi);
    return {(longitude + 180) / 360, std::clamp(y, 0.0, 1.0)};
}

GeoPosition FromUnit(UnitPoint unit)
{
    const double y = std::clamp(unit.Y, 0.0, 1.0);
    const double lat = std::atan(std::sinh(std::numbers::pi * (1 - 2 * y))) / DegToRad;
    return {lat, WrapMapLongitude(unit.X * 360 - 180)};
}

double WrapMapLongitude(double longitude)
{
    double lon = std::fmod(longitude + 180, 360);
    if (lon < 0) lon += 360;
    return lon - 180;
}

int WrapTileX(long long x, int zoom)
{
    const long long n = 1LL << zoom;
    const long long r = x % n;
    return static_cast<int>(r < 0 ? r + n : r);
}

TileId TileAt(double latitude, double longitude, int zoom)
{
    const UnitPoint u = ToUnit(latitude, WrapMapLongitude(longitude));
    const double n = std::ldexp(1.0, zoom);
    const int last = static_cast<int>(n) - 1;
    return {zoom, std::clamp(static_cast<int>(std::floor(u.X * n)), 0, last),
            std::clamp(static_cast<int>(std::floor(u.Y * n)), 0, last)};
}

std::string TileUrl(std::string_view pattern, const TileId& tile)
{
    std::string url;
    url.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size();) {
        const std::string_view rest = pattern.substr(i);
        if (rest.starts_with("{z}")) {
            url += std::to_string(tile.Z);
        } else if (rest.starts_with("{x}")) {
            url += std::to_string(tile.X);
        } else if (rest.starts_with("{y}")) {
            url += std::to_string(tile.Y);
        } else {
            url += pattern[i++];
            continue;
        }
        i += 3;
    }
    return url;
}

bool IsTilePattern(std::string_view pattern)
{
    return pattern.find("{z}") != std::string_view::npos && pattern.find("{x}") != std::string_view::npos &&
           pattern.find("{y}") != std::string_view::npos;
}

double MetresPerPixel(double latitude, int zoom)
{
    const double lat = std::clamp(latitude, -MercatorLimit, MercatorLimit) * DegToRad;
    return 2 * std::numbers::pi * EquatorRadius * std::cos(lat) / WorldPixels(zoom);
}

ScaleBar ChooseScaleBar(double metresPerPixel, double maxPixels)
{
    if (!(metresPerPixel > 0) || !(maxPixels > 0)) return {};
    const double maxMetres = metresPerPixel * maxPixels;
    double power = std::pow(10.0, std::floor(std::log10(maxMetres)));
    double metres = power;
    for (double step : {5.0, 2.0, 1.0}) {
        if (step * power <= maxMetres) {
            metres = step * power;
            break;
        }
    }
    return {metres, metres / metresPerPixel};
}

double GridSpacing(int zoom, double targetPixels)
{
    // Degrees per pixel along the equator, which the grid's longitude lines follow exactly.
    const double wanted = targetPixels * 360 / WorldPixels(zoom);
    static constexpr double Steps[] = {1e-5, 2e-5, 5e-5, 1e-4, 2e-4, 5e-4, 1e-3, 2e-3, 5e-3, 0.01, 0.02, 0.05,
                                       0.1,  0.25, 0.5,  1,    2,    5,    10,   15,   30,   45,   90};
    for (double step : Steps)
        if (step >= wanted) return step;
    return 90;
}

}  // namespace tolvex
