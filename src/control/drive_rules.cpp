#include "control/drive_rules.h"

#include <algorithm>
#include <cmath>

namespace tolvex {
namespace {

// A course more than one turn out (a fast wheel spin, a large sensitivity) comes back by fmod;
// the single wrap below then gives the same result as the plain rule does for one turn.
double ReduceTurns(double course)
{
    if (course < -360 || course >= 720) course = std::fmod(course, 360) + 0.0;
    return course;
}

// Truncated remainder, as integer division in the rules: the sign follows the dividend.
std::int64_t Rem(std::int64_t a, std::int64_t b) { return a % b; }

}  // namespace

int StepMultiplier(int heldKeys)
{
    const bool ctrl = heldKeys & CtrlHeld;
    const bool shift = heldKeys & ShiftHeld;
    if (ctrl && shift) return 1000;
    if (shift) return 100;
    if (ctrl) return 10;
    return 1;
}

double WrapCourseKey(double course)
{
    course = ReduceTurns(course);
    if (course < 0)
        course += 360;
    else if (course >= 360)
        course -= 360;
    return course;
}

double WrapCourseWheel(double course)
{
    course = ReduceTurns(course);
    if (course < 0)
        course += 360;
    else if (course > 360)
        course -= 360;
    return course;
}

double ClampLatitude(double latitude) { return std::clamp(latitude, -90.0, 90.0); }

double WrapLongitude(double longitude)
{
    if (longitude > 540 || longitude < -540) longitude = std::fmod(longitude, 360);
    if (longitude > 180)
        longitude -= 360;
    else if (longitude < -180)
        longitude += 360;
    return longitude;
}

double SpeedUpKey(double speed)
{
    speed *= 1.05;
    if (speed < MinKeySpeed) return MinKeySpeed;
    if (speed > MaxSpeedMps) return MaxSpeedMps;
    return speed;
}

double SlowDownKey(double speed)
{
    speed *= 0.95;
    return speed < MinKeySpeed ? 0 : speed;
}

double RatioUpKey(double ratio)
{
    ratio *= 1.05;
    if (ratio > MaxSpeedRatio) return MaxSpeedRatio;
    if (ratio < MinSpeedRatio) return MinSpeedRatio;
    if (ratio > 0.9 && ratio < 1.04) return 1;
    return ratio;
}

double RatioDownKey(double ratio)
{
    ratio *= 0.95;
    if (ratio < MinSpeedRatio) return 0;
    if (ratio > 0.96 && ratio < 1.1) return 1;
    return ratio;
}

double WheelSpeed(double speed, int delta, double lowerLimit)
{
    const double k = speed >= 3 ? 1440 : 720;
    speed *= 1 + delta / k;
    if (delta > 0) {
        if (speed < lowerLimit) return lowerLimit;
        if (speed > MaxSpeedMps) return MaxSpeedMps;
        return speed;
    }
    return speed < lowerLimit ? 0 : speed;
}

double WheelRatio(double ratio, int delta)
{
    const double k = ratio >= 0.2 ? 1440 : 720;
    ratio *= 1 + delta / k;
    if (delta > 0) {
        if (ratio < MinSpeedRatio) return MinSpeedRatio;
        if (ratio > 0.9 && ratio < 1.05) return 1;
        if (ratio > MaxSpeedRatio) return MaxSpeedRatio;
        return ratio;
    }
    if (ratio < MinSpeedRatio) return 0;
    if (ratio > 0.95 && ratio < 1.1) return 1;
    return ratio;
}

double RatioRowChange(double ratio, double notches, bool withModifier)
{
    ratio *= 1 + 0.05 * notches * (withModifier ? 10 : 1);
    if (ratio > MaxSpeedRatio) return MaxSpeedRatio;
    if (ratio < MinSpeedRatio) return MinSpeedRatio;
    if (ratio > 0.96 && ratio < 1.04) return 1;
    return ratio;
}

std::int64_t SegmentMoveMultiplier(int heldKeys)
{
    const bool ctrl = heldKeys & CtrlHeld;
    const bool shift = heldKeys & ShiftHeld;
    if (ctrl && shift) return 100000;
    if (shift) return 100;
    if (ctrl) return 10;
    return 1;
}

std::int64_t PlainWheelPointMultiplier(int heldKeys) { return StepMultiplier(heldKeys); }

int SegmentMoveTarget(int track, int tracks, std::int64_t n)
{
    if (tracks <= 0) return 0;
    const std::int64_t target = Rem(std::int64_t{track} + tracks - 1 + n, tracks) + 1;
    return static_cast<int>(std::clamp<std::int64_t>(target, 1, tracks));
}

PointMoveTarget PointMove(LoopMode loop, const ReplayPosition& at, std::int64_t n)
{
    PointMoveTarget target;
    switch (loop) {
    case LoopMode::SegmentLoop: {
        if (at.PointsInTrack <= 0 || at.Track <= 0) return target;
        const std::int64_t p = Rem(std::int64_t{at.PointInTrack} + at.PointsInTrack - 1 + n, at.PointsInTrack) + 1;
        target.InSegment = true;
        target.Segment = at.Track;
        target.Point = static_cast<int>(std::clamp<std::int64_t>(p, 1, at.PointsInTrack));
        break;
    }
    case LoopMode::FileLoop: {
        if (at.Points <= 0) return target;
        const std::int64_t p = Rem(std::int64_t{at.Point} + at.Points - 1 + n, at.Points) + 1;
        target.Point = static_cast<int>(std::clamp<std::int64_t>(p, 1, at.Points));
        break;
    }
    case LoopMode::NoLoop:
    default:
        if (at.Points <= 0) return target;
        target.Point = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{at.Point} + n, 1, at.Points));
        break;
    }
    target.Valid = true;
    return target;
}

}  // namespace tolvex
