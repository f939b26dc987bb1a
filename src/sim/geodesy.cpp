#include "sim/geodesy.h"

#include <cmath>

namespace tolvex {

double GeoDistance(double lat1, double lon1, double lat2, double lon2)
{
    const double m = (lat1 + lat2) * 0.5;
    if (m > 89.9999 || m < -89.9999) return 0;
    const double theta = m * DegToRad;
    const double s = std::sin(theta);
    const double c = std::cos(theta);
    const double r = RadiiProduct / std::sqrt(s * s * EquatorialRadiusSq + c * c * PolarRadiusSq);
    const double x = c * r * (lon1 - lon2);
    const double y = r * (lat1 - lat2);
    return std::sqrt(x * x + y * y) * DegToRad;
}

double GeoBearing(double lat1, double lon1, double lat2, double lon2, bool* valid)
{
    if (valid) *valid = true;
    const double m = (lat1 + lat2) * 0.5;
    if (m > 89.999999999999 || m < -89.999999999999) return 0;
    const double dlat = lat2 - lat1;
    const double dlon = lon2 - lon1;
    if (dlat > -1e-7 && dlat < 1e-7) {
        if (dlon > 0) return 90;
        if (dlon < 0) return 270;
        if (valid) *valid = false;
        return 0;
    }
    double g = std::atan(std::cos(lat1 * DegToRad) * RadiiRatio * dlon / dlat) / DegToRad;
    if (lat1 > lat2) g += 180;
    if (g < 0)
        g += 360;
    else if (g > 360)
        g -= 360;
    return g;
}

GeoPoint OffsetPoint(double lat0, double lon0, double direction, double distance)
{
    const double alpha = direction * DegToRad;
    const double d = distance / DegToRad;
    GeoPoint p;
    p.Latitude = lat0 + std::cos(alpha) * d / PolarRadius;
    p.Longitude = lon0 + std::sin(alpha) * d / (std::cos(lat0 * DegToRad) * EquatorialRadius);
    return p;
}

}  // namespace tolvex
