#pragma once

namespace tolvex {

// The one simulated receiver position. Speed is m/s inside the program; km/h only at the edges.
struct SimFix {
    double Latitude = 0;   // degrees, north positive, [-90, 90]
    double Longitude = 0;  // degrees, east positive, [-180, 180] after a drive step
    double Altitude = 0;   // metres
    double Course = 0;     // degrees clockwise from north, [0, 360]
    double Speed = 0;      // metres per second, [0, 27777.5]
};

enum class RunState : int { None = 0, Stopped = 1, Running = 2, Paused = 3 };
enum class TrackMode : int { Free = 0, P = 1, M = 2, S = 3 };
enum class LoopMode : int { NoLoop = 0, FileLoop = 1, SegmentLoop = 2 };

inline constexpr double KmhPerMps = 3.6;
inline constexpr double KmhPerKnot = 1.852;
inline constexpr double MaxSpeedMps = 27777.5;      // 99999 km/h
inline constexpr double MaxAltitude = 277777.5;     // metres, either sign

}  // namespace tolvex
