#include "control/mouse.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

template <typename T>
std::string CaseName(const testing::TestParamInfo<T>& info)
{
    return info.param.Name;
}

struct CellCase {
    const char* Name;
    int X;
    int Y;
    TrackMode Mode;
    RunState State;
    std::optional<WheelCell> Expected;
};

class WheelCellTest : public testing::TestWithParam<CellCase> {};

TEST_P(WheelCellTest, FirstMatchingRow)
{
    const CellCase& c = GetParam();
    EXPECT_EQ(FindWheelCell(c.X, c.Y, c.Mode, c.State), c.Expected);
}

constexpr auto Free = TrackMode::Free;
constexpr auto Run = RunState::Running;
constexpr auto Pause = RunState::Paused;

INSTANTIATE_TEST_SUITE_P(
    Borders, WheelCellTest,
    testing::Values(CellCase{"CourseCorner", 161, 43, Free, Run, WheelCell::Course},
                    CellCase{"CourseFarBelow", 161, 300, Free, Run, WheelCell::Course},
                    CellCase{"LeftOfCourseIsSpeed", 160, 43, Free, Run, WheelCell::Speed},
                    CellCase{"AltitudeBottom", 161, 42, Free, Run, WheelCell::Altitude},
                    CellCase{"AltitudeTop", 161, 23, Free, Run, WheelCell::Altitude},
                    CellCase{"LongitudeBottom", 161, 22, Free, Run, WheelCell::Longitude},
                    CellCase{"LatitudeBottomRight", 160, 22, Free, Run, WheelCell::Latitude},
                    CellCase{"SpeedTopLeft", 0, 23, Free, Run, WheelCell::Speed},
                    CellCase{"SpeedBottom", 160, 131, TrackMode::M, Run, WheelCell::Speed},
                    CellCase{"SpeedCellInPStillStopsTheSearch", 100, 131, TrackMode::P, Run, WheelCell::Speed},
                    CellCase{"PausedSpeedCellInFreeIsNothing", 100, 100, Free, Pause, std::nullopt},
                    CellCase{"PausedSpeedAreaFallsToSegment", 81, 131, TrackMode::M, Pause, WheelCell::Segment},
                    CellCase{"PausedSpeedAreaFallsToPoint", 82, 131, TrackMode::M, Pause, WheelCell::Point},
                    CellCase{"SegmentBottomRight", 81, 182, TrackMode::S, Run, WheelCell::Segment},
                    CellCase{"PointBottomLeft", 82, 182, TrackMode::S, Run, WheelCell::Point},
                    CellCase{"PointRightHalf", 300, 150, TrackMode::P, Run, WheelCell::Point},
                    CellCase{"ReplayRightHalfAbove131IsNothing", 300, 100, TrackMode::M, Run, std::nullopt},
                    CellCase{"ReplayLatitudeIsNothing", 100, 10, TrackMode::M, Run, std::nullopt},
                    CellCase{"GapBetweenSegmentAndOffset", 10, 183, TrackMode::M, Run, std::nullopt},
                    CellCase{"OffsetTop", 300, 184, TrackMode::M, Run, WheelCell::Offset},
                    CellCase{"OffsetBottomLeft", 0, 199, TrackMode::P, Pause, WheelCell::Offset},
                    CellCase{"Line200IsNothing", 300, 200, TrackMode::S, Run, std::nullopt},
                    CellCase{"RatioTop", 300, 201, TrackMode::S, Run, WheelCell::Ratio},
                    CellCase{"RatioRowOutsideS", 300, 201, TrackMode::M, Run, std::nullopt},
                    CellCase{"FreeBelowIsCourse", 300, 201, Free, Run, WheelCell::Course},
                    CellCase{"FreeLeftBelowSpeedIsNothing", 10, 150, Free, Run, std::nullopt}),
    CaseName<CellCase>);

enum class Button { None, Left, Right };

struct FreeWheelCase {
    const char* Name;
    Button Held;
    int Keys;
    RunState State;
    int X;
    int Y;
    int Delta;
    SimFix Before;
    SimFix After;
    double Sensitivity = 5;
    double Step = 0.00001;
};

class FreeWheelTest : public testing::TestWithParam<FreeWheelCase> {};

TEST_P(FreeWheelTest, ChangesTheFix)
{
    const FreeWheelCase& c = GetParam();
    Session s;
    s.engine.State = c.State;
    s.engine.HeldKeys = c.Keys;
    s.engine.Options.WheelSensitivity = c.Sensitivity;
    s.engine.Options.Step = c.Step;
    s.engine.Fix = c.Before;
    if (c.Held == Button::Left) s.op.LeftButtonPressed();
    if (c.Held == Button::Right) s.op.RightButtonPressed();

    s.op.HandleMouseWheel(c.Delta, c.X, c.Y);

    const SimFix& f = s.engine.Fix;
    EXPECT_NEAR(f.Latitude, c.After.Latitude, 1e-9);
    EXPECT_NEAR(f.Longitude, c.After.Longitude, 1e-9);
    EXPECT_NEAR(f.Altitude, c.After.Altitude, 1e-9);
    EXPECT_NEAR(f.Course, c.After.Course, 1e-9);
    EXPECT_NEAR(f.Speed, c.After.Speed, 1e-12);
    EXPECT_FALSE(s.engine.ChangeInProgress);
    EXPECT_EQ(s.host.Refreshes[1], 1);
}

SimFix Fix(double lat, double lon, double alt, double course, double speed) { return {lat, lon, alt, course, speed}; }

INSTANTIATE_TEST_SUITE_P(
    Table, FreeWheelTest,
    testing::Values(
        FreeWheelCase{"PlainTurnsFive", Button::None, 0, Run, 10, 10, 120, Fix(0, 0, 0, 10, 0), Fix(0, 0, 0, 15, 0)},
        FreeWheelCase{"CtrlTurnsFifteen", Button::None, CtrlHeld, Run, 10, 10, 120, Fix(0, 0, 0, 10, 0),
                      Fix(0, 0, 0, 25, 0)},
        FreeWheelCase{"ShiftTurnsFortyFive", Button::None, ShiftHeld, Run, 10, 10, 120, Fix(0, 0, 0, 10, 0),
                      Fix(0, 0, 0, 55, 0)},
        FreeWheelCase{"CtrlShiftTurnsFortyFive", Button::None, CtrlHeld | ShiftHeld, Run, 10, 10, 120,
                      Fix(0, 0, 0, 10, 0), Fix(0, 0, 0, 55, 0)},
        FreeWheelCase{"NegativeSensitivityTurnsBack", Button::None, 0, Run, 10, 10, 120, Fix(0, 0, 0, 2, 0),
                      Fix(0, 0, 0, 357, 0), -5},
        FreeWheelCase{"WrapAbove360", Button::None, 0, Run, 10, 10, 240, Fix(0, 0, 0, 355, 0), Fix(0, 0, 0, 5, 0)},
        FreeWheelCase{"Exactly360Stands", Button::None, 0, Run, 10, 10, 120, Fix(0, 0, 0, 355, 0),
                      Fix(0, 0, 0, 360, 0)},
        FreeWheelCase{"FineWheelFraction", Button::None, 0, Run, 10, 10, 30, Fix(0, 0, 0, 10, 0),
                      Fix(0, 0, 0, 11.25, 0)},
        FreeWheelCase{"LeftButtonFromStandstill", Button::Left, 0, Run, 300, 300, 120, Fix(0, 0, 0, 0, 0),
                      Fix(0, 0, 0, 0, 1)},
        FreeWheelCase{"LeftButtonDownStops", Button::Left, 0, Run, 300, 300, -120, Fix(0, 0, 0, 0, 1.05),
                      Fix(0, 0, 0, 0, 0)},
        FreeWheelCase{"LeftButtonWhilePausedSteers", Button::Left, 0, Pause, 300, 300, 120, Fix(0, 0, 0, 10, 0),
                      Fix(0, 0, 0, 15, 0)},
        FreeWheelCase{"RightOverSpeedFromStandstill", Button::Right, 0, Run, 50, 30, 120, Fix(0, 0, 0, 0, 0),
                      Fix(0, 0, 0, 0, 0.3)},
        FreeWheelCase{"RightOverAltitudeShiftDown", Button::Right, ShiftHeld, Run, 200, 30, -120, Fix(0, 0, 50, 0, 0),
                      Fix(0, 0, -50, 0, 0)},
        FreeWheelCase{"RightOverAltitudeHeldAtTop", Button::Right, CtrlHeld | ShiftHeld, Run, 200, 30, 1200,
                      Fix(0, 0, 277000, 0, 0), Fix(0, 0, 277777.5, 0, 0)},
        FreeWheelCase{"RightOverLongitudeOverAntimeridian", Button::Right, 0, Run, 200, 10, 120,
                      Fix(0, 179.99999, 0, 0, 0), Fix(0, -179.99991, 0, 0, 0), 5, 0.0001},
        FreeWheelCase{"RightOverLongitudeWestward", Button::Right, CtrlHeld | ShiftHeld, Run, 200, 10, -120,
                      Fix(0, -179.999, 0, 0, 0), Fix(0, 179.991, 0, 0, 0)},
        FreeWheelCase{"RightOverLatitudeHeldAtPole", Button::Right, CtrlHeld | ShiftHeld, Run, 100, 10, 120,
                      Fix(89.999, 0, 0, 0, 0), Fix(90, 0, 0, 0, 0)},
        FreeWheelCase{"RightOverCourseTimesThree", Button::Right, 0, Run, 200, 60, -120, Fix(0, 0, 0, 10, 0),
                      Fix(0, 0, 0, 355, 0)},
        FreeWheelCase{"RightOverNothingChangesNothing", Button::Right, 0, Run, 100, 150, 120, Fix(1, 2, 3, 4, 5),
                      Fix(1, 2, 3, 4, 5)},
        FreeWheelCase{"RightOverSpeedWhilePausedChangesNothing", Button::Right, 0, Pause, 100, 100, 120,
                      Fix(1, 2, 3, 4, 0), Fix(1, 2, 3, 4, 0)}),
    CaseName<FreeWheelCase>);

struct ReplayWheelCase {
    const char* Name;
    std::vector<int> Segments;
    TrackMode Mode;
    LoopMode Loop;
    int StartPoint;  // overall point number
    Button Held;
    int Keys;
    int X;
    int Y;
    int Delta;
    int Track;  // expected m_nTrack
    int Point;  // expected m_nPoint
};

class ReplayWheelTest : public testing::TestWithParam<ReplayWheelCase> {};

TEST_P(ReplayWheelTest, MovesTheReplay)
{
    const ReplayWheelCase& c = GetParam();
    Session s;
    s.Load(c.Segments, c.Mode);
    s.replay.SetLoop(c.Loop);
    s.replay.GoToPointNumber(c.StartPoint);
    s.engine.HeldKeys = c.Keys;
    if (c.Held == Button::Right) s.op.RightButtonPressed();

    s.op.HandleMouseWheel(c.Delta, c.X, c.Y);

    EXPECT_EQ(s.replay.Track(), c.Track);
    EXPECT_EQ(s.replay.Point(), c.Point);
}

constexpr int PlainX = 300, PlainY = 20, PointX = 100, SegmentX = 40, RowY = 150;

INSTANTIATE_TEST_SUITE_P(
    Table, ReplayWheelTest,
    testing::Values(
        ReplayWheelCase{"FileLoopLastToFirst", {100}, TrackMode::M, LoopMode::FileLoop, 100, Button::None, 0, PlainX,
                        PlainY, 120, 1, 1},
        ReplayWheelCase{"FileLoopFirstBackToLast", {100}, TrackMode::M, LoopMode::FileLoop, 1, Button::None, 0,
                        PlainX, PlainY, -120, 1, 100},
        ReplayWheelCase{"FileLoopAcrossSegments", {40, 60}, TrackMode::S, LoopMode::FileLoop, 40, Button::None, 0,
                        PlainX, PlainY, 120, 2, 41},
        ReplayWheelCase{"FileLoopBackwardLongerThanTrack", {40, 60}, TrackMode::P, LoopMode::FileLoop, 50,
                        Button::None, CtrlHeld | ShiftHeld, PlainX, PlainY, -120, 1, 1},
        ReplayWheelCase{"SegmentLoopStaysInSegment", {40, 60}, TrackMode::M, LoopMode::SegmentLoop, 100, Button::None,
                        0, PlainX, PlainY, 120, 2, 41},
        ReplayWheelCase{"SegmentLoopBackwardLongerThanSegment", {40, 60}, TrackMode::M, LoopMode::SegmentLoop, 45,
                        Button::None, ShiftHeld, PlainX, PlainY, -120, 2, 41},
        ReplayWheelCase{"NoLoopClampsAtEnd", {40, 60}, TrackMode::M, LoopMode::NoLoop, 95, Button::None, CtrlHeld,
                        PlainX, PlainY, 120, 2, 100},
        ReplayWheelCase{"PlainDeltaBelowOneNotchMovesNothing", {100}, TrackMode::M, LoopMode::NoLoop, 50,
                        Button::None, 0, PlainX, PlainY, 119, 1, 50},
        ReplayWheelCase{"PointAreaNoLoopClampsAtFirst", {100}, TrackMode::M, LoopMode::NoLoop, 5, Button::Right, 0,
                        PointX, RowY, -120, 1, 1},
        ReplayWheelCase{"PointAreaTenPerNotch", {100}, TrackMode::P, LoopMode::NoLoop, 5, Button::Right, 0, PointX,
                        RowY, 120, 1, 15},
        ReplayWheelCase{"PointAreaCtrlHundredPerNotch", {200}, TrackMode::P, LoopMode::FileLoop, 150, Button::Right,
                        CtrlHeld, PointX, RowY, 120, 1, 50},
        ReplayWheelCase{"SegmentAreaLastToFirst", {10, 10, 10}, TrackMode::M, LoopMode::NoLoop, 25, Button::Right, 0,
                        SegmentX, RowY, 120, 1, 1},
        ReplayWheelCase{"SegmentAreaCtrlShiftStepOfHundredThousand", {10, 10, 10}, TrackMode::M, LoopMode::NoLoop,
                        25, Button::Right, CtrlHeld | ShiftHeld, SegmentX, RowY, 120, 1, 1},
        ReplayWheelCase{"SegmentAreaBackToLast", {10, 10, 10}, TrackMode::S, LoopMode::FileLoop, 5, Button::Right, 0,
                        SegmentX, RowY, -120, 3, 21},
        ReplayWheelCase{"SegmentAreaBackwardLongerThanListGoesToFirst", {10, 10, 10}, TrackMode::S, LoopMode::FileLoop,
                        15, Button::Right, CtrlHeld | ShiftHeld, SegmentX, RowY, -120, 1, 1}),
    CaseName<ReplayWheelCase>);

TEST(MouseWheelTest, RatioRowSnapsToOneBothWays)
{
    Session s;
    s.Load({50}, TrackMode::S);
    s.op.RightButtonPressed();
    s.replay.SetSpeedRatio(0.98);
    s.op.HandleMouseWheel(120, 250, 210);
    EXPECT_EQ(s.replay.SpeedRatio(), 1);
    EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, s.replay.TrackSpeed());
    s.replay.SetSpeedRatio(1.02);
    s.op.HandleMouseWheel(-120, 250, 210);
    EXPECT_EQ(s.replay.SpeedRatio(), 1);
}

TEST(MouseWheelTest, OffsetRowMovesInMetresAndIsHeld)
{
    Session s;
    s.Load({50}, TrackMode::M);
    s.op.RightButtonPressed();
    s.op.HandleMouseWheel(120, 250, 190);
    EXPECT_DOUBLE_EQ(s.replay.LateralOffset(), 1);
    s.engine.HeldKeys = CtrlHeld | ShiftHeld;
    s.op.HandleMouseWheel(-240, 250, 190);
    EXPECT_DOUBLE_EQ(s.replay.LateralOffset(), -1000);
}

TEST(MouseWheelTest, LeftButtonInSChangesTheRatio)
{
    Session s;
    s.Load({50}, TrackMode::S);
    s.engine.State = RunState::Running;
    s.replay.SetSpeedRatio(0.95);
    s.op.LeftButtonPressed();
    s.op.HandleMouseWheel(120, 10, 10);
    EXPECT_EQ(s.replay.SpeedRatio(), 1);
    s.op.LeftButtonReleased();
    // Without the button the wheel winds through the points instead.
    const int point = s.replay.Point();
    s.op.HandleMouseWheel(120, 10, 10);
    EXPECT_EQ(s.replay.SpeedRatio(), 1);
    EXPECT_EQ(s.replay.Point(), point + 1);
}

TEST(MouseWheelTest, TurnDuringATickIsDroppedAndCounted)
{
    Session s;
    s.engine.Fix.Course = 10;
    s.engine.TickInProgress = true;
    s.op.HandleMouseWheel(120, 10, 10);
    s.op.HandleMouseWheel(120, 10, 10);
    EXPECT_EQ(s.engine.Options.ChangeWaits, 2);
    EXPECT_EQ(s.engine.Fix.Course, 10);
    EXPECT_TRUE(s.host.Refreshes.empty());
    s.engine.TickInProgress = false;
    s.op.HandleMouseWheel(120, 10, 10);
    EXPECT_EQ(s.engine.Fix.Course, 15);
    EXPECT_EQ(s.engine.Options.ChangeWaits, 2);
}

TEST(MouseButtonsTest, RightWheelTurnSuppressesOneMenu)
{
    Session s;
    s.op.RightButtonPressed();
    EXPECT_TRUE(s.op.RightButtonReleased());
    s.op.RightButtonPressed();
    s.op.HandleMouseWheel(120, 100, 150);
    EXPECT_TRUE(s.op.RightWheelUsed);
    EXPECT_FALSE(s.op.RightButtonReleased());
    EXPECT_FALSE(s.op.RightButtonDown);
    s.op.RightButtonPressed();
    EXPECT_TRUE(s.op.RightButtonReleased());
}

TEST(MouseButtonsTest, MiddleButtonTogglesPause)
{
    Session s;
    s.engine.Options.Outputs[1].Active = false;
    s.engine.RunCommand();
    s.op.MiddleButtonPressed();
    EXPECT_EQ(s.engine.State, RunState::Paused);
    s.op.MiddleButtonPressed();
    EXPECT_EQ(s.engine.State, RunState::Running);
}

struct DoubleClickCase {
    const char* Name;
    int X;
    int Y;
    int FormatIndex;
    bool Options;
    LatLonFormat Format;
    int Output;
};

class DoubleClickTest : public testing::TestWithParam<DoubleClickCase> {};

TEST_P(DoubleClickTest, ChoosesDialogOrPage)
{
    const DoubleClickCase& c = GetParam();
    Session s;
    s.engine.Options.LatLonFormatIndex = c.FormatIndex;
    const DoubleClickTarget target = s.op.HandleDoubleClick(c.X, c.Y);
    EXPECT_EQ(target.Options, c.Options);
    if (c.Options)
        EXPECT_EQ(target.OptionsOutput, c.Output);
    else
        EXPECT_EQ(target.Format, c.Format);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DoubleClickTest,
    testing::Values(DoubleClickCase{"PositionDialogD", 100, 100, 0, false, LatLonFormat::D, -1},
                    DoubleClickCase{"PositionDialogDM", 100, 100, 1, false, LatLonFormat::DM, -1},
                    DoubleClickCase{"PositionDialogDMS", 172, 300, 2, false, LatLonFormat::DMS, -1},
                    DoubleClickCase{"BadFormatIndexGivesD", 300, 68, 9, false, LatLonFormat::D, -1},
                    DoubleClickCase{"Output3", 300, 100, 0, true, LatLonFormat::D, 3},
                    DoubleClickCase{"Output3Edge", 286, 69, 0, true, LatLonFormat::D, 3},
                    DoubleClickCase{"Output2", 285, 100, 0, true, LatLonFormat::D, 2},
                    DoubleClickCase{"Output2Left", 259, 100, 0, true, LatLonFormat::D, 2},
                    DoubleClickCase{"Output1", 232, 100, 0, true, LatLonFormat::D, 1},
                    DoubleClickCase{"Output1Right", 258, 100, 0, true, LatLonFormat::D, 1},
                    DoubleClickCase{"Output0", 205, 100, 0, true, LatLonFormat::D, 0},
                    DoubleClickCase{"Output0Right", 231, 100, 0, true, LatLonFormat::D, 0},
                    DoubleClickCase{"LabelsKeepThePage", 190, 100, 0, true, LatLonFormat::D, -1},
                    DoubleClickCase{"LabelsLeftEdge", 173, 100, 0, true, LatLonFormat::D, -1}),
    CaseName<DoubleClickCase>);

}  // namespace
}  // namespace tolvex
