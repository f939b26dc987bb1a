#include "sky/orbit.h"

#include <cmath>

#include "sim/geodesy.h"

namespace tolvex {
namespace {

// The broadcast week counts modulo 1024: take the full week nearest to the time of use.
double FullWeek(int week, double gpsSeconds)
{
    if (week >= 1024) return week;
    const double now = std::floor(gpsSeconds / SecondsPerWeek);
    const double cycles = std::round((now - week) / 1024);
    return week + 1024 * cycles;
}

}  // namespace

double GpsSecondsFromUnix(double unixSeconds) { return unixSeconds - static_cast<double>(GpsEpochUnix) + GpsLeapSeconds; }

Ecef SatellitePosition(const OrbitElements& o, double gpsSeconds)
{
    const double a = o.SqrtA * o.SqrtA;
    const double n = std::sqrt(GpsMu / (a * a * a));
    const double tk = gpsSeconds - (FullWeek(o.Week, gpsSeconds) * SecondsPerWeek + o.Toa);
    const double mk = o.MeanAnomaly + n * tk;
    // Kepler's equation by fixed-point iteration; GPS eccentricities stay below 0.03, so a few
    // rounds reach double precision. A bad almanac value must not hang the tick: the rounds are capped.
    double ek = mk;
    for (int i = 0; i < 30; ++i) {
        const double next = mk + o.Eccentricity * std::sin(ek);
        if (std::fabs(next - ek) < 1e-13) {
            ek = next;
            break;
        }
        ek = next;
    }
    const double e = o.Eccentricity;
    const double nu = std::atan2(std::sqrt(1 - e * e) * std::sin(ek), std::cos(ek) - e);
    const double u = nu + o.ArgumentOfPerigee;
    const double r = a * (1 - e * std::cos(ek));
    const double xOrbit = r * std::cos(u);
    const double yOrbit = r * std::sin(u);
    // The node measured in the rotating Earth frame.
    const double omega = o.RightAscension + (o.RateOfRightAscension - EarthRotationRate) * tk -
                         EarthRotationRate * o.Toa;
    const double ci = std::cos(o.Inclination);
    return {xOrbit * std::cos(omega) - yOrbit * ci * std::sin(omega),
            xOrbit * std::sin(omega) + yOrbit * ci * std::cos(omega), yOrbit * std::sin(o.Inclination)};
}

Ecef GeodeticToEcef(double latitude, double longitude, double height)
{
    const double phi = latitude * DegToRad;
    const double lambda = longitude * DegToRad;
    const double e2 = Wgs84Flattening * (2 - Wgs84Flattening);
    const double sinPhi = std::sin(phi);
    const double nu = EquatorialRadius / std::sqrt(1 - e2 * sinPhi * sinPhi);
    return {(nu + height) * std::cos(phi) * std::cos(lambda), (nu + height) * std::cos(phi) * std::sin(lambda),
            (nu * (1 - e2) + height) * sinPhi};
}

LookAngles Look(double latitude, double longitude, const Ecef& receiver, const Ecef& target)
{
    const double phi = latitude * DegToRad;
    const double lambda = longitude * DegToRad;
    const double dx = target.X - receiver.X, dy = target.Y - receiver.Y, dz = target.Z - receiver.Z;
    const double east = -std::sin(lambda) * dx + std::cos(lambda) * dy;
    const double north = -std::sin(phi) * std::cos(lambda) * dx - std::sin(phi) * std::sin(lambda) * dy +
                         std::cos(phi) * dz;
    const double up = std::cos(phi) * std::cos(lambda) * dx + std::cos(phi) * std::sin(lambda) * dy + std::sin(phi) * dz;
    LookAngles look;
    look.Elevation = std::atan2(up, std::hypot(east, north)) / DegToRad;
    look.Azimuth = std::atan2(east, north) / DegToRad;
    if (look.Azimuth < 0) look.Azimuth += 360;
    if (look.Azimuth >= 360) look.Azimuth -= 360;
    return look;
}

}  // namespace tolvex
