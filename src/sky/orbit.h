#pragma once
// Satellite orbits from almanac elements, with the receiver's almanac algorithm of IS-GPS-200
// (no harmonic corrections: an almanac carries none), and the look angles from a receiver.

#include <cstdint>

#include "config/settings.h"

namespace tolvex {

inline constexpr double GpsMu = 3.986005e14;                // m³/s², the value the almanac equations use
inline constexpr double EarthRotationRate = 7.2921151467e-5; // rad/s
inline constexpr double Wgs84Flattening = 1 / 298.257223563;
inline constexpr double SecondsPerWeek = 604800;
inline constexpr std::int64_t GpsEpochUnix = 315964800;     // 1980-01-06 00:00:00 UTC
inline constexpr int GpsLeapSeconds = 18;                   // GPS − UTC since 2017

// One satellite's almanac. Angles in radians; a YUMA or SEM file gives semicircles or radians and
// the reader converts.
struct OrbitElements {
    GnssSystem System = GnssSystem::Gps;
    int Prn = 0;
    int Health = 0;            // 0: usable
    double Eccentricity = 0;
    double Toa = 0;            // seconds into the week
    int Week = 0;              // below 1024: the broadcast 10-bit week, resolved near the fix time
    double Inclination = 0;    // rad
    double RateOfRightAscension = 0;  // rad/s
    double SqrtA = 0;          // m^½
    double RightAscension = 0; // rad, longitude of the ascending node at the weekly epoch
    double ArgumentOfPerigee = 0;     // rad
    double MeanAnomaly = 0;    // rad at Toa
};

struct Ecef {
    double X = 0, Y = 0, Z = 0;  // metres, Earth-centred Earth-fixed
};

struct LookAngles {
    double Elevation = 0;  // degrees, [-90, 90]
    double Azimuth = 0;    // degrees clockwise from north, [0, 360)
};

// Seconds of GPS time for a UTC time in seconds since 1970 (may carry a fraction).
double GpsSecondsFromUnix(double unixSeconds);

// The satellite's position at gpsSeconds (seconds since the GPS epoch).
Ecef SatellitePosition(const OrbitElements& orbit, double gpsSeconds);

// A point on the WGS-84 ellipsoid: latitude and longitude in degrees, height in metres.
Ecef GeodeticToEcef(double latitude, double longitude, double height);

// Elevation and azimuth of target seen from a receiver at latitude, longitude (degrees) and its ECEF.
LookAngles Look(double latitude, double longitude, const Ecef& receiver, const Ecef& target);

}  // namespace tolvex
