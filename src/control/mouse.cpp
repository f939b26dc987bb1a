#include "control/mouse.h"

#include <climits>
#include <cmath>

#include "control/operator.h"
#include "sim/engine.h"
#include "tracks/replay.h"

namespace tolvex {
namespace {

enum class CellCondition { Free, NotPaused, Replay, ModeS };

// A cell's region, bounds inclusive, in client pixels of the panel.
struct CellRow {
    WheelCell Cell;
    int XMin, XMax, YMin, YMax;
    CellCondition Condition;
};

constexpr int Lo = INT_MIN;
constexpr int Hi = INT_MAX;

// The right-button wheel cells, tested in this order.
constexpr CellRow CellTable[] = {
    {WheelCell::Course, 161, Hi, 43, Hi, CellCondition::Free},
    {WheelCell::Altitude, 161, Hi, 23, 42, CellCondition::Free},
    {WheelCell::Longitude, 161, Hi, Lo, 22, CellCondition::Free},
    {WheelCell::Speed, Lo, 160, 23, 131, CellCondition::NotPaused},
    {WheelCell::Latitude, Lo, 160, Lo, 22, CellCondition::Free},
    {WheelCell::Offset, Lo, Hi, 184, 199, CellCondition::Replay},
    {WheelCell::Ratio, Lo, Hi, 201, Hi, CellCondition::ModeS},
    {WheelCell::Segment, Lo, 81, 131, 182, CellCondition::Replay},
    {WheelCell::Point, 82, Hi, 131, 182, CellCondition::Replay},
};

bool Holds(CellCondition condition, TrackMode mode, RunState state)
{
    switch (condition) {
    case CellCondition::Free: return mode == TrackMode::Free;
    case CellCondition::NotPaused: return state != RunState::Paused;
    case CellCondition::Replay: return mode != TrackMode::Free;
    case CellCondition::ModeS: return mode == TrackMode::S;
    }
    return false;
}

// The output table's columns: the options page a double click there starts on.
struct PageBand {
    int XMin, XMax;
    int Output;  // -1: the page stays as it is
};
constexpr PageBand PageBands[] = {
    {286, Hi, 3},
    {259, 285, 2},
    {232, 258, 1},
    {205, 231, 0},
    {173, 204, -1},
};

}  // namespace

std::optional<WheelCell> FindWheelCell(int x, int y, TrackMode mode, RunState state)
{
    for (const CellRow& row : CellTable)
        if (x >= row.XMin && x <= row.XMax && y >= row.YMin && y <= row.YMax && Holds(row.Condition, mode, state))
            return row.Cell;
    return std::nullopt;
}

DoubleClickTarget DoubleClickTargetAt(int x, int y, int latLonFormatIndex)
{
    DoubleClickTarget target;
    if (x <= 172 || y <= 68) {
        target.Format = ToLatLonFormat(latLonFormatIndex);
        return target;
    }
    target.Options = true;
    for (const PageBand& band : PageBands)
        if (x >= band.XMin && x <= band.XMax) target.OptionsOutput = band.Output;
    return target;
}

bool Operator::RightButtonReleased()
{
    RightButtonDown = false;
    if (RightWheelUsed) {
        RightWheelUsed = false;
        return false;
    }
    return true;
}

void Operator::MiddleButtonPressed() { m_engine.PauseCommand(); }

DoubleClickTarget Operator::HandleDoubleClick(int x, int y) const
{
    return DoubleClickTargetAt(x, y, m_engine.Options.LatLonFormatIndex);
}

void Operator::HandleMouseWheel(int delta, int x, int y)
{
    if (m_engine.TickInProgress) {
        ++m_engine.Options.ChangeWaits;
        return;
    }
    m_engine.ChangeInProgress = true;
    const double notches = delta / static_cast<double>(WheelDetent);
    if (LeftButtonDown && m_engine.State != RunState::Paused) {
        SpeedRule(delta, 1.0);
    } else if (RightButtonDown) {
        RightWheelUsed = true;
        if (const auto cell = FindWheelCell(x, y, Mode(), m_engine.State)) WheelOnCell(*cell, delta, notches);
    } else {
        PlainWheel(delta, notches);
    }
    m_engine.ChangeInProgress = false;
    Refresh();
}

void Operator::PlainWheel(int delta, double notches)
{
    if (Mode() == TrackMode::Free) {
        const int held = m_engine.HeldKeys;
        const double k = (held & ShiftHeld) ? 9 : (held & CtrlHeld) ? 3 : 1;
        SimFix& fix = m_engine.Fix;
        fix.Course = WrapCourseWheel(fix.Course + m_engine.Options.WheelSensitivity * notches * k);
        return;
    }
    MovePoint(delta / WheelDetent * PlainWheelPointMultiplier(m_engine.HeldKeys));
}

void Operator::WheelOnCell(WheelCell cell, int delta, double notches)
{
    SimFix& fix = m_engine.Fix;
    const int held = m_engine.HeldKeys;
    switch (cell) {
    case WheelCell::Course:
        fix.Course = WrapCourseWheel(fix.Course + m_engine.Options.WheelSensitivity * notches * 3);
        break;
    case WheelCell::Altitude:
        fix.Altitude = std::clamp(fix.Altitude + notches * StepMultiplier(held), -MaxAltitude, MaxAltitude);
        break;
    case WheelCell::Longitude: {
        double longitude = std::fmod(fix.Longitude + JumpDistance() * notches, 360);
        if (longitude > 180)
            longitude -= 360;
        else if (longitude < -180)
            longitude += 360;
        fix.Longitude = longitude;
        break;
    }
    case WheelCell::Speed:
        SpeedRule(delta, 0.3);
        break;
    case WheelCell::Latitude:
        fix.Latitude = ClampLatitude(fix.Latitude + JumpDistance() * notches);
        break;
    case WheelCell::Offset:
        ChangeOffset(JumpDistance() * notches * MetresPerJumpDegree);
        break;
    case WheelCell::Ratio:
        if (m_replay) SetRatio(RatioRowChange(m_replay->SpeedRatio(), notches, held & (CtrlHeld | ShiftHeld)));
        break;
    case WheelCell::Segment:
        MoveSegment(delta / WheelDetent * SegmentMoveMultiplier(held));
        break;
    case WheelCell::Point:
        MovePoint(delta / 12 * SegmentMoveMultiplier(held));
        break;
    }
}

void Operator::SpeedRule(int delta, double lowerLimit)
{
    switch (Mode()) {
    case TrackMode::Free:
    case TrackMode::M: m_engine.Fix.Speed = WheelSpeed(m_engine.Fix.Speed, delta, lowerLimit); break;
    case TrackMode::S: SetRatio(WheelRatio(m_replay->SpeedRatio(), delta)); break;
    case TrackMode::P: break;
    }
}

void Operator::MoveSegment(std::int64_t n)
{
    if (!TrackLoaded()) return;
    const ReplayPosition at = Position();
    const int segment = SegmentMoveTarget(at.Track, at.Tracks, n);
    if (segment > 0) m_replay->GoToTrackPoint(segment, 1);
}

void Operator::MovePoint(std::int64_t n)
{
    if (!TrackLoaded()) return;
    const PointMoveTarget target = PointMove(m_replay->Loop(), Position(), n);
    if (!target.Valid) return;
    if (target.InSegment)
        m_replay->GoToTrackPoint(target.Segment, target.Point);
    else
        m_replay->GoToPointNumber(target.Point);
}

}  // namespace tolvex
