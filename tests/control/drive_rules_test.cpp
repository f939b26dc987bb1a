#include "control/drive_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvex {
namespace {

template <typename T>
std::string CaseName(const testing::TestParamInfo<T>& info)
{
    return info.param.Name;
}

struct CourseCase {
    const char* Name;
    double Course;
    double KeyWrapped;
    double WheelWrapped;
};

class CourseWrapTest : public testing::TestWithParam<CourseCase> {};

TEST_P(CourseWrapTest, KeyAndWheelWraps)
{
    const CourseCase& c = GetParam();
    EXPECT_DOUBLE_EQ(WrapCourseKey(c.Course), c.KeyWrapped);
    EXPECT_DOUBLE_EQ(WrapCourseWheel(c.Course), c.WheelWrapped);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CourseWrapTest,
    testing::Values(CourseCase{"W_From355", 365, 5, 5}, CourseCase{"Z_From5", -40, 320, 320},
                    CourseCase{"Exactly360", 360, 0, 360},  // the key wrap turns 360 to 0, the wheel's lets it stand
                    CourseCase{"Zero", 0, 0, 0}, CourseCase{"JustBelowZero", -0.5, 359.5, 359.5},
                    CourseCase{"MoreThanOneTurnUp", 1270, 190, 190},
                    CourseCase{"MoreThanOneTurnDown", -1270, 170, 170}, CourseCase{"TwoTurnsExactly", 720, 0, 0}),
    CaseName<CourseCase>);

struct JumpCase {
    const char* Name;
    double Latitude;
    double Longitude;
    double ClampedLatitude;
    double WrappedLongitude;
};

class JumpClampTest : public testing::TestWithParam<JumpCase> {};

TEST_P(JumpClampTest, PolesAndAntimeridian)
{
    const JumpCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ClampLatitude(c.Latitude), c.ClampedLatitude);
    EXPECT_NEAR(WrapLongitude(c.Longitude), c.WrappedLongitude, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, JumpClampTest,
                         testing::Values(JumpCase{"PastNorthPole", 90.001, 180.00009, 90, -179.99991},
                                         JumpCase{"PastSouthPole", -90.00999, -180.009, -90, 179.991},
                                         JumpCase{"ExactlyOnTheLimitsStand", 90, 180, 90, 180},
                                         JumpCase{"ExactlyMinusLimitsStand", -90, -180, -90, -180},
                                         JumpCase{"FarBeyondOneTurn", 10, 1000, 10, -80}),
                         CaseName<JumpCase>);

struct RatioKeyCase {
    const char* Name;
    bool Up;
    double Ratio;
    double Expected;
};

class RatioKeyTest : public testing::TestWithParam<RatioKeyCase> {};

TEST_P(RatioKeyTest, SnapBands)
{
    const RatioKeyCase& c = GetParam();
    EXPECT_DOUBLE_EQ(c.Up ? RatioUpKey(c.Ratio) : RatioDownKey(c.Ratio), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RatioKeyTest,
    testing::Values(RatioKeyCase{"UpFrom095SnapsTo1", true, 0.95, 1}, RatioKeyCase{"DownFrom105SnapsTo1", false, 1.05, 1},
                    RatioKeyCase{"DownFrom01GoesTo0", false, 0.1, 0}, RatioKeyCase{"UpFrom0RaisesTo01", true, 0, 0.1},
                    RatioKeyCase{"UpFrom099SnapsTo1", true, 0.99, 1},  // 1.0395 is inside (0.9, 1.04)
                    RatioKeyCase{"UpFrom1LeavesTheBand", true, 1, 1.05},
                    RatioKeyCase{"DownFrom1LeavesTheBand", false, 1, 0.95},
                    RatioKeyCase{"UpAbove100Held", true, 99, 100},
                    RatioKeyCase{"UpFrom085IsBelowBand", true, 0.85, 0.85 * 1.05},
                    RatioKeyCase{"DownFrom12IsAboveBand", false, 1.2, 1.2 * 0.95}),
    CaseName<RatioKeyCase>);

struct SpeedKeyCase {
    const char* Name;
    bool Up;
    double Speed;
    double Expected;
};

class SpeedKeyTest : public testing::TestWithParam<SpeedKeyCase> {};

TEST_P(SpeedKeyTest, Limits)
{
    const SpeedKeyCase& c = GetParam();
    EXPECT_DOUBLE_EQ(c.Up ? SpeedUpKey(c.Speed) : SlowDownKey(c.Speed), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedKeyTest,
                         testing::Values(SpeedKeyCase{"UpFromStandstill", true, 0, 0.1388888888888889},
                                         SpeedKeyCase{"DownBelowHalfKmhStops", false, 0.14, 0},
                                         SpeedKeyCase{"UpAtTopHeld", true, 27777, 27777.5},
                                         SpeedKeyCase{"UpNormal", true, 10, 10.5},
                                         SpeedKeyCase{"DownNormal", false, 10, 9.5}),
                         CaseName<SpeedKeyCase>);

struct WheelSpeedCase {
    const char* Name;
    double Speed;
    int Delta;
    double LowerLimit;
    double Expected;
};

class WheelSpeedTest : public testing::TestWithParam<WheelSpeedCase> {};

TEST_P(WheelSpeedTest, RuleSpeed)
{
    const WheelSpeedCase& c = GetParam();
    EXPECT_NEAR(WheelSpeed(c.Speed, c.Delta, c.LowerLimit), c.Expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WheelSpeedTest,
    testing::Values(WheelSpeedCase{"LeftButtonUpFromStandstill", 0, 120, 1, 1},
                    WheelSpeedCase{"LeftButtonDownBelowLimitStops", 1.05, -120, 1, 0},  // 0.875
                    WheelSpeedCase{"SpeedCellUpFromStandstill", 0, 120, 0.3, 0.3},
                    WheelSpeedCase{"FastUsesSmallerSteps", 3, 120, 1, 3 * (1 + 120 / 1440.0)},
                    WheelSpeedCase{"SlowUsesLargerSteps", 2, 120, 1, 2 * (1 + 120 / 720.0)},
                    WheelSpeedCase{"TopHeld", 27777, 1200, 1, 27777.5},
                    WheelSpeedCase{"HardSpinDownStops", 2, -1440, 1, 0}),
    CaseName<WheelSpeedCase>);

struct WheelRatioCase {
    const char* Name;
    double Ratio;
    int Delta;
    double Expected;
};

class WheelRatioTest : public testing::TestWithParam<WheelRatioCase> {};

TEST_P(WheelRatioTest, RuleSpeedInS)
{
    const WheelRatioCase& c = GetParam();
    EXPECT_NEAR(WheelRatio(c.Ratio, c.Delta), c.Expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WheelRatioTest,
    testing::Values(WheelRatioCase{"UpFrom0Raises", 0, 120, 0.1}, WheelRatioCase{"UpIntoBandSnaps", 0.95, 120, 1},
                    WheelRatioCase{"UpFrom1IsAt105Edge", 0.97, 120, 0.97 * (1 + 120 / 1440.0)},  // 1.0508 > 1.05
                    WheelRatioCase{"DownFrom105Snaps", 1.05, -120, 1},
                    WheelRatioCase{"DownBelow01Stops", 0.1, -120, 0},
                    WheelRatioCase{"SmallRatioUsesLargerSteps", 0.15, 120, 0.15 * (1 + 120 / 720.0)},
                    WheelRatioCase{"TopHeld", 99, 1200, 100}),
    CaseName<WheelRatioCase>);

struct RatioRowCase {
    const char* Name;
    double Ratio;
    double Notches;
    bool Modifier;
    double Expected;
};

class RatioRowTest : public testing::TestWithParam<RatioRowCase> {};

TEST_P(RatioRowTest, NeverZero)
{
    const RatioRowCase& c = GetParam();
    EXPECT_NEAR(RatioRowChange(c.Ratio, c.Notches, c.Modifier), c.Expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Table, RatioRowTest,
                         testing::Values(RatioRowCase{"UpFrom098Snaps", 0.98, 1, false, 1},
                                         RatioRowCase{"DownFrom102Snaps", 1.02, -1, false, 1},
                                         RatioRowCase{"ModifierTimesTen", 2, 1, true, 3},
                                         RatioRowCase{"BigSpinDownHeldAt01", 1, -3, true, 0.1},
                                         RatioRowCase{"FractionalNotch", 2, 0.5, false, 2.05},
                                         RatioRowCase{"TopHeld", 90, 1, true, 100}),
                         CaseName<RatioRowCase>);

struct SegmentCase {
    const char* Name;
    int Track;
    int Tracks;
    std::int64_t N;
    int Expected;
};

class SegmentMoveTest : public testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentMoveTest, WrapsWhateverTheLoop)
{
    const SegmentCase& c = GetParam();
    EXPECT_EQ(SegmentMoveTarget(c.Track, c.Tracks, c.N), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SegmentMoveTest,
                         testing::Values(SegmentCase{"LastToFirst", 3, 3, 1, 1}, SegmentCase{"FirstBackToLast", 1, 3, -1, 3},
                                         SegmentCase{"CtrlShiftStep", 3, 3, 100000, 1},
                                         SegmentCase{"BackwardLongerThanListLandsOnFirst", 1, 3, -100000, 1},
                                         SegmentCase{"NoSegmentsDoesNothing", 0, 0, 1, 0},
                                         SegmentCase{"StayOnSingleSegment", 1, 1, 5, 1}),
                         CaseName<SegmentCase>);

struct PointCase {
    const char* Name;
    LoopMode Loop;
    ReplayPosition At;
    std::int64_t N;
    bool Valid;
    bool InSegment;
    int Point;
};

class PointMoveTest : public testing::TestWithParam<PointCase> {};

TEST_P(PointMoveTest, ByLoopMode)
{
    const PointCase& c = GetParam();
    const PointMoveTarget target = PointMove(c.Loop, c.At, c.N);
    EXPECT_EQ(target.Valid, c.Valid);
    if (!c.Valid) return;
    EXPECT_EQ(target.InSegment, c.InSegment);
    EXPECT_EQ(target.Point, c.Point);
    if (c.InSegment) {
        EXPECT_EQ(target.Segment, c.At.Track);
    }
}

// Track of 100 points in segments of 40 and 60; on segment 2, point 10 of it (point 50 overall).
constexpr ReplayPosition Middle{2, 2, 10, 60, 50, 100};
constexpr ReplayPosition Last{2, 2, 60, 60, 100, 100};
constexpr ReplayPosition First{1, 2, 1, 40, 1, 100};
constexpr ReplayPosition Empty{0, 0, 0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Table, PointMoveTest,
    testing::Values(PointCase{"FileLoopLastToFirst", LoopMode::FileLoop, Last, 1, true, false, 1},
                    PointCase{"FileLoopFirstBackToLast", LoopMode::FileLoop, First, -1, true, false, 100},
                    PointCase{"FileLoopBackwardLongerThanTrack", LoopMode::FileLoop, Middle, -1000, true, false, 1},
                    PointCase{"FileLoopForwardManyTurns", LoopMode::FileLoop, Middle, 1000, true, false, 50},
                    PointCase{"SegmentLoopWrapsInSegment", LoopMode::SegmentLoop, Last, 1, true, true, 1},
                    PointCase{"SegmentLoopBackward", LoopMode::SegmentLoop, Middle, -10, true, true, 60},
                    PointCase{"SegmentLoopBackwardLongerThanSegment", LoopMode::SegmentLoop, Middle, -500, true, true,
                              1},
                    PointCase{"NoLoopClampsAtStart", LoopMode::NoLoop, ReplayPosition{1, 2, 5, 40, 5, 100}, -10, true,
                              false, 1},
                    PointCase{"NoLoopClampsAtEnd", LoopMode::NoLoop, Middle, 100000000, true, false, 100},
                    PointCase{"NoLoopPlain", LoopMode::NoLoop, Middle, 7, true, false, 57},
                    PointCase{"EmptyTrackFileLoop", LoopMode::FileLoop, Empty, 1, false, false, 0},
                    PointCase{"EmptyTrackSegmentLoop", LoopMode::SegmentLoop, Empty, 1, false, true, 0},
                    PointCase{"EmptyTrackNoLoop", LoopMode::NoLoop, Empty, -1, false, false, 0}),
    CaseName<PointCase>);

TEST(StepMultiplierTest, ModifierLadders)
{
    EXPECT_EQ(StepMultiplier(0), 1);
    EXPECT_EQ(StepMultiplier(CtrlHeld), 10);
    EXPECT_EQ(StepMultiplier(ShiftHeld), 100);
    EXPECT_EQ(StepMultiplier(CtrlHeld | ShiftHeld), 1000);
    EXPECT_EQ(StepMultiplier(TurnLeftHeld | TurnRightHeld), 1);  // turn bits are no modifiers
    EXPECT_EQ(SegmentMoveMultiplier(CtrlHeld | ShiftHeld), 100000);
    EXPECT_EQ(SegmentMoveMultiplier(ShiftHeld), 100);
    EXPECT_EQ(PlainWheelPointMultiplier(CtrlHeld | ShiftHeld), 1000);
}

}  // namespace
}  // namespace tolvex
