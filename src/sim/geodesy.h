#pragma once
// Flat-earth approximation of the WGS-84 ellipsoid, good over a tick, a track leg or a map click.

namespace tolvex {

inline constexpr double EquatorialRadius = 6378137.0;      // a, metres
inline constexpr double PolarRadius = 6356752.3142;        // b, metres
inline constexpr double EquatorialRadiusSq = 40680631590769.0;
inline constexpr double PolarRadiusSq = 40408299984087.055;
inline constexpr double RadiiProduct = 40544237135034.65;  // a·b
inline constexpr double RadiiRatio = 1.0033640898281078;   // a / b
inline constexpr double DegToRad = 0.017453292519943295;

struct GeoPoint {
    double Latitude = 0;   // degrees
    double Longitude = 0;  // degrees
};

// Distance between point 1 and point 2 (metres, >= 0); 0 when the mean latitude is beyond ±89.9999.
// Longitudes are not wrapped: 179.9 and -179.9 are 359.8 degrees apart.
double GeoDistance(double lat1, double lon1, double lat2, double lon2);

// Course from point 1 to point 2 (degrees clockwise from north, [0, 360]). *valid is set false only
// for two identical points (result 0); valid may be null.
double GeoBearing(double lat1, double lon1, double lat2, double lon2, bool* valid = nullptr);

// The point reached from (lat0, lon0) by going distance metres (may be negative) towards direction
// (degrees); nothing is wrapped or clamped.
GeoPoint OffsetPoint(double lat0, double lon0, double direction, double distance);

}  // namespace tolvex
