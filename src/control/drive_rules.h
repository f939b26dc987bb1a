#pragma once
// The arithmetic of the operator's controls, apart from who calls it: the modifier ladder, the
// course wraps, the jump clamps, the speed and ratio rules of keys and wheel, segment and point moves.

#include <cstdint>

#include "sim/sim_fix.h"

namespace tolvex {

// HeldKeys bits of the keyboard; the turn bits are the tick's HeldTurnLeft / HeldTurnRight.
inline constexpr int CtrlHeld = 0x01;
inline constexpr int ShiftHeld = 0x02;
inline constexpr int TurnLeftHeld = 0x10;
inline constexpr int TurnRightHeld = 0x20;

inline constexpr double MinKeySpeed = 0.1388888888888889;  // m/s, 0.5 km/h
inline constexpr double MaxLateralOffset = 1000;            // metres, either side
inline constexpr double MetresPerJumpDegree = 100000;       // offset metres per degree of JumpDistance
inline constexpr double MaxSpeedRatio = 100;
inline constexpr double MinSpeedRatio = 0.1;
inline constexpr int WheelDetent = 120;                    // wheel delta of one notch

// 1, Ctrl 10, Shift 100, Ctrl+Shift 1000.
int StepMultiplier(int heldKeys);

// Key turns: below 0 add 360, 360 or more subtract 360 (so exactly 360 becomes 0).
double WrapCourseKey(double course);
// COURSE WRAP of the wheel: below 0 add 360, above 360 subtract 360 (exactly 360 stands).
// Both keep wrapping a turn of more than one revolution, so the course always ends within [0, 360].
double WrapCourseWheel(double course);

// After a jump: latitude held to [-90, 90]; a longitude beyond ±180 wrapped into [-180, 180]
// (exactly ±180 stands).
double ClampLatitude(double latitude);
double WrapLongitude(double longitude);

// Up and Down arrow in Free and M (m/s) and in S (ratio).
double SpeedUpKey(double speed);
double SlowDownKey(double speed);
double RatioUpKey(double ratio);
double RatioDownKey(double ratio);

// Rule SPEED for one wheel message of delta d: the speed (m/s) with the given lower limit, and the ratio.
double WheelSpeed(double speed, int delta, double lowerLimit);
double WheelRatio(double ratio, int delta);
// Rule RATIO ROW: notches may be fractional; withModifier while Ctrl or Shift is held.
double RatioRowChange(double ratio, double notches, bool withModifier);

// The wheel's segment-and-point multiplier: Ctrl 10, Shift 100, Ctrl+Shift 100000.
std::int64_t SegmentMoveMultiplier(int heldKeys);
// The plain wheel's point multiplier in replay: Ctrl 10, Shift 100, Ctrl+Shift 1000.
std::int64_t PlainWheelPointMultiplier(int heldKeys);

// SEGMENT MOVE by n: the segment to go to, 1..tracks; 0 when there is no segment. A backward move
// longer than the list lands on segment 1, as the replay's own clamp would place it.
int SegmentMoveTarget(int track, int tracks, std::int64_t n);

// Where POINT MOVE by n goes: a point number of the whole track, or a point of the current segment.
struct PointMoveTarget {
    bool Valid = false;         // false for an empty track or segment: nothing to do
    bool InSegment = false;     // GoToTrackPoint(Segment, Point) rather than GoToPointNumber(Point)
    int Segment = 0;
    int Point = 0;              // within 1..points (or 1..pointsInTrack)
};
struct ReplayPosition {
    int Track = 0;          // m_nTrack
    int Tracks = 0;         // m_nTracks
    int PointInTrack = 0;   // m_nPointInTrack
    int PointsInTrack = 0;  // m_nPointsInTrack
    int Point = 0;          // m_nPoint
    int Points = 0;         // m_nPoints
};
PointMoveTarget PointMove(LoopMode loop, const ReplayPosition& at, std::int64_t n);

}  // namespace tolvex
