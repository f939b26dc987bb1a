#pragma once
// Web-Mercator tiles as slippy maps number them: 256-pixel squares, x eastwards from the
// antimeridian, y southwards from the Mercator limit. Every tile and pixel computation of the map
// goes through here.

#include <string>
#include <string_view>

namespace tolvex {

inline constexpr int TileSize = 256;  // pixels
inline constexpr int MinMapZoom = 0;
inline constexpr int MaxMapZoom = 19;
// atan(sinh(pi)) in degrees: the latitude where the square world ends, north and south.
inline constexpr double MercatorLimit = 85.05112877980659;

struct TileId {
    int Z = 0;
    int X = 0;
    int Y = 0;
    friend bool operator==(const TileId&, const TileId&) = default;
    friend auto operator<=>(const TileId&, const TileId&) = default;
};

// A place on the world square at zoom 0 scaled to 0..1: x 0 at 180° W, 1 at 180° E; y 0 at the
// northern limit, 1 at the southern. A pixel at zoom z is this times WorldPixels(z).
struct UnitPoint {
    double X = 0;
    double Y = 0;
};

struct GeoPosition {
    double Latitude = 0;   // degrees
    double Longitude = 0;  // degrees
};

// Pixels across the whole world at zoom z.
double WorldPixels(int zoom);

// Latitude clamped to ±MercatorLimit; longitude taken as it is, so 180° gives 1 and 190° gives
// more than 1 (callers that want one world wrap first).
UnitPoint ToUnit(double latitude, double longitude);
// y clamped to 0..1; x wrapped into one world, longitude in [-180, 180).
GeoPosition FromUnit(UnitPoint unit);

// Longitude wrapped into [-180, 180) degrees.
double WrapMapLongitude(double longitude);
// Tile column wrapped into 0 .. 2^z - 1, so a column west of 0 is the far east one.
int WrapTileX(long long x, int zoom);
// The tile that holds the place at zoom z (longitude wrapped, latitude clamped).
TileId TileAt(double latitude, double longitude, int zoom);

// The URL of a tile from a pattern with {z}, {x} and {y} (each as often as it appears).
std::string TileUrl(std::string_view pattern, const TileId& tile);
// A pattern names a tile only when it holds all three of {z}, {x} and {y}.
bool IsTilePattern(std::string_view pattern);

// Ground metres one pixel spans at that latitude (degrees) and zoom, on the WGS-84 equator radius.
double MetresPerPixel(double latitude, int zoom);

// The scale bar: the longest round length (1, 2 or 5 times a power of ten metres) that fits in
// maxPixels, and its width in pixels.
struct ScaleBar {
    double Metres = 0;
    double Pixels = 0;
};
ScaleBar ChooseScaleBar(double metresPerPixel, double maxPixels);

// The spacing in degrees of the grid's latitude and longitude lines: a round value that puts
// lines about every targetPixels at this zoom.
double GridSpacing(int zoom, double targetPixels);

}  // namespace tolvex
