#include "control/keyboard.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

constexpr int Ctrl = CtrlHeld;
constexpr int Shift = ShiftHeld;

struct FreeKeyCase {
    const char* Name;
    int Key;
    int Held = 0;
    bool Repeat = false;
    RunState State = RunState::Running;
    SimFix Before{};
    SimFix After{};
    double KeySensitivity1 = 1;
};

class FreeKeyTest : public testing::TestWithParam<FreeKeyCase> {};

TEST_P(FreeKeyTest, ChangesTheFix)
{
    const FreeKeyCase& c = GetParam();
    Session s;
    s.engine.State = c.State;
    s.engine.HeldKeys = c.Held;
    s.engine.Options.KeySensitivity1 = c.KeySensitivity1;
    s.engine.Fix = c.Before;

    EXPECT_TRUE(s.op.HandleKeyDown(c.Key, c.Repeat));

    const SimFix& f = s.engine.Fix;
    EXPECT_NEAR(f.Latitude, c.After.Latitude, 1e-9);
    EXPECT_NEAR(f.Longitude, c.After.Longitude, 1e-9);
    EXPECT_DOUBLE_EQ(f.Course, c.After.Course);
    EXPECT_DOUBLE_EQ(f.Speed, c.After.Speed);
    EXPECT_DOUBLE_EQ(f.Altitude, c.After.Altitude);
    EXPECT_EQ(s.host.Refreshes[1], 1);
}

SimFix Pose(double lat, double lon, double course = 0, double speed = 0) { return SimFix{lat, lon, 0, course, speed}; }

INSTANTIATE_TEST_SUITE_P(
    Table, FreeKeyTest,
    testing::Values(
        FreeKeyCase{"W_355_To5", VkLetter('W'), 0, false, RunState::Running, Pose(0, 0, 355), Pose(0, 0, 5)},
        FreeKeyCase{"P_IsW", VkLetter('P'), 0, false, RunState::Running, Pose(0, 0, 100), Pose(0, 0, 110)},
        FreeKeyCase{"Q_5_To355", VkLetter('Q'), 0, false, RunState::Running, Pose(0, 0, 5), Pose(0, 0, 355)},
        FreeKeyCase{"O_IsQ", VkLetter('O'), 0, false, RunState::Running, Pose(0, 0, 100), Pose(0, 0, 90)},
        FreeKeyCase{"Z_5_To320", VkLetter('Z'), 0, false, RunState::Running, Pose(0, 0, 5), Pose(0, 0, 320)},
        FreeKeyCase{"Comma_IsZ", VK_OEM_COMMA, 0, false, RunState::Running, Pose(0, 0, 90), Pose(0, 0, 45)},
        FreeKeyCase{"X_350_To35", VkLetter('X'), 0, false, RunState::Running, Pose(0, 0, 350), Pose(0, 0, 35)},
        FreeKeyCase{"Period_IsX", VK_OEM_PERIOD, 0, false, RunState::Running, Pose(0, 0, 315), Pose(0, 0, 0)},
        FreeKeyCase{"RightTo360BecomesZero", VK_RIGHT, 0, false, RunState::Running, Pose(0, 0, 350), Pose(0, 0, 0),
                    10},
        FreeKeyCase{"LeftBelowZero", VK_LEFT, 0, false, RunState::Running, Pose(0, 0, 0.5), Pose(0, 0, 359.5)},
        FreeKeyCase{"RepeatedRightTurnsNothing", VK_RIGHT, 0, true, RunState::Running, Pose(0, 0, 10),
                    Pose(0, 0, 10)},
        FreeKeyCase{"RepeatedQTurnsNothing", VkLetter('Q'), 0, true, RunState::Running, Pose(0, 0, 10),
                    Pose(0, 0, 10)},
        FreeKeyCase{"F5North", VK_F5, 0, true, RunState::Running, Pose(0, 0, 123), Pose(0, 0, 0)},
        FreeKeyCase{"F6East", VK_F6, 0, false, RunState::Running, Pose(0, 0, 123), Pose(0, 0, 90)},
        FreeKeyCase{"F7South", VK_F7, 0, false, RunState::Running, Pose(0, 0, 123), Pose(0, 0, 180)},
        FreeKeyCase{"F8West", VK_F8, 0, false, RunState::Running, Pose(0, 0, 123), Pose(0, 0, 270)},
        FreeKeyCase{"YWithShiftStopsAtPole", VkLetter('Y'), Shift, false, RunState::Running, Pose(89.99999, 0),
                    Pose(90, 0)},
        FreeKeyCase{"YRepeatsWithAutoRepeat", VkLetter('Y'), 0, true, RunState::Running, Pose(0, 0),
                    Pose(0.00001, 0)},
        FreeKeyCase{"BSouthPole", VkLetter('B'), Ctrl | Shift, false, RunState::Running, Pose(-89.995, 0),
                    Pose(-90, 0)},
        FreeKeyCase{"HWithCtrlOverAntimeridian", VkLetter('H'), Ctrl, false, RunState::Running,
                    Pose(0, 179.99999), Pose(0, -179.99991)},
        FreeKeyCase{"GWestOverAntimeridian", VkLetter('G'), Ctrl, false, RunState::Running, Pose(0, -179.99999),
                    Pose(0, 179.99991)},
        FreeKeyCase{"GToExactly180Stands", VkLetter('G'), 0, false, RunState::Running, Pose(0, -179.99999),
                    Pose(0, -180)},
        FreeKeyCase{"UNorthEast", VkLetter('U'), Ctrl, false, RunState::Running, Pose(1, 1), Pose(1.0001, 1.0001)},
        FreeKeyCase{"NSouthEast", VkLetter('N'), Ctrl, false, RunState::Running, Pose(1, 1), Pose(0.9999, 1.0001)},
        FreeKeyCase{"VSouthWest", VkLetter('V'), Ctrl, false, RunState::Running, Pose(1, 1), Pose(0.9999, 0.9999)},
        FreeKeyCase{"TNorthWest", VkLetter('T'), Ctrl, false, RunState::Running, Pose(1, 1), Pose(1.0001, 0.9999)},
        FreeKeyCase{"JumpLeftCourse270AtSouthPole", VkLetter('A'), Ctrl | Shift, false, RunState::Running,
                    Pose(-89.99999, 0, 270), Pose(-90, 0, 270)},
        FreeKeyCase{"JumpLeftCourse180OverAntimeridian", VkLetter('L'), Ctrl | Shift, false, RunState::Running,
                    Pose(0, 179.999, 180), Pose(0, -179.991, 180)},
        FreeKeyCase{"JumpRightCourse270AtNorthPole", VkLetter('S'), Ctrl | Shift, false, RunState::Running,
                    Pose(89.999, 0, 270), Pose(90, 0, 270)},
        FreeKeyCase{"JumpRightCourse0GoesEast", VK_OEM_1, 0, false, RunState::Running, Pose(0, 0, 0),
                    Pose(0, 0.00001, 0)},
        FreeKeyCase{"JumpsWorkWhilePaused", VkLetter('Y'), 0, false, RunState::Paused, Pose(0, 0), Pose(0.00001, 0)},
        FreeKeyCase{"TurnsWorkWhileStopped", VkLetter('W'), 0, false, RunState::Stopped, Pose(0, 0, 0),
                    Pose(0, 0, 10)},
        FreeKeyCase{"UpFromStandstill", VK_UP, 0, false, RunState::Running, Pose(0, 0, 0, 0),
                    Pose(0, 0, 0, 0.1388888888888889)},
        FreeKeyCase{"DownBelowHalfKmhStops", VK_DOWN, 0, false, RunState::Running, Pose(0, 0, 0, 0.14),
                    Pose(0, 0, 0, 0)},
        FreeKeyCase{"UpIgnoredWhilePaused", VK_UP, 0, false, RunState::Paused, Pose(0, 0, 0, 0), Pose(0, 0, 0, 0)},
        FreeKeyCase{"PresetGrave", VK_OEM_3, 0, false, RunState::Running, Pose(0, 0), Pose(0, 0, 0, 1.3888888888888888)},
        FreeKeyCase{"PresetGraveWithCtrlIsPlainPreset", VK_OEM_3, Ctrl, false, RunState::Running, Pose(0, 0),
                    Pose(0, 0, 0, 1.3888888888888888)},
        FreeKeyCase{"Preset2", VkDigit(2), 0, false, RunState::Running, Pose(0, 0), Pose(0, 0, 0, 5.555555555555555)},
        FreeKeyCase{"Preset3", VkDigit(3), 0, false, RunState::Running, Pose(0, 0), Pose(0, 0, 0, 8.333333333333334)},
        FreeKeyCase{"Preset6", VkDigit(6), 0, false, RunState::Running, Pose(0, 0),
                    Pose(0, 0, 0, 16.666666666666668)},
        FreeKeyCase{"Preset9WithShift", VkDigit(9), Shift, false, RunState::Running, Pose(0, 0),
                    Pose(0, 0, 0, 33.333333333333336)},
        FreeKeyCase{"Preset0Stops", VkDigit(0), 0, false, RunState::Running, Pose(0, 0, 0, 20), Pose(0, 0, 0, 0)},
        FreeKeyCase{"PresetIgnoredWhilePaused", VkDigit(5), 0, false, RunState::Paused, Pose(0, 0), Pose(0, 0)}),
    [](const testing::TestParamInfo<FreeKeyCase>& info) { return std::string(info.param.Name); });

struct ReplayKeyCase {
    const char* Name;
    TrackMode Mode;
    int Key;
    int Held;
    RunState State;
    double Ratio;
    double Offset;
    double Speed;
    double RatioAfter;
    double OffsetAfter;
    double SpeedAfter;  // ignored in S, where the speed follows the ratio
};

class ReplayKeyTest : public testing::TestWithParam<ReplayKeyCase> {};

TEST_P(ReplayKeyTest, ChangesTheReplay)
{
    const ReplayKeyCase& c = GetParam();
    Session s;
    s.Load({50}, c.Mode);
    s.engine.State = c.State;
    s.engine.HeldKeys = c.Held;
    s.replay.SetSpeedRatio(c.Ratio);
    s.replay.SetLateralOffset(c.Offset);
    s.engine.Fix.Speed = c.Speed;
    const SimFix before = s.engine.Fix;

    EXPECT_TRUE(s.op.HandleKeyDown(c.Key, false));

    EXPECT_DOUBLE_EQ(s.replay.SpeedRatio(), c.RatioAfter);
    EXPECT_DOUBLE_EQ(s.replay.LateralOffset(), c.OffsetAfter);
    if (c.Mode == TrackMode::S && c.Ratio != c.RatioAfter)
        EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, s.replay.TrackSpeed() * c.RatioAfter);
    else
        EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, c.SpeedAfter);
    // Keys never move the fix itself while a track is replayed.
    EXPECT_EQ(s.engine.Fix.Latitude, before.Latitude);
    EXPECT_EQ(s.engine.Fix.Longitude, before.Longitude);
    EXPECT_EQ(s.engine.Fix.Course, before.Course);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplayKeyTest,
    testing::Values(
        ReplayKeyCase{"S_UpFrom095SnapsTo1", TrackMode::S, VK_UP, 0, RunState::Running, 0.95, 0, 0, 1, 0, 0},
        ReplayKeyCase{"S_DownFrom105SnapsTo1", TrackMode::S, VK_DOWN, 0, RunState::Running, 1.05, 0, 0, 1, 0, 0},
        ReplayKeyCase{"S_DownFrom01Stops", TrackMode::S, VK_DOWN, 0, RunState::Running, 0.1, 0, 0, 0, 0, 0},
        ReplayKeyCase{"S_UpFrom0Raises", TrackMode::S, VK_UP, 0, RunState::Running, 0, 0, 0, 0.1, 0, 0},
        ReplayKeyCase{"S_Preset8", TrackMode::S, VkDigit(8), 0, RunState::Running, 1, 0, 0, 5, 0, 0},
        ReplayKeyCase{"S_PresetGrave", TrackMode::S, VK_OEM_3, 0, RunState::Running, 1, 0, 0, 0.2, 0, 0},
        ReplayKeyCase{"S_PausedUpDoesNothing", TrackMode::S, VK_UP, 0, RunState::Paused, 0.5, 0, 0, 0.5, 0, 0},
        ReplayKeyCase{"M_UpChangesSpeed", TrackMode::M, VK_UP, 0, RunState::Running, 1, 0, 10, 1, 0, 10.5},
        ReplayKeyCase{"M_Preset4", TrackMode::M, VkDigit(4), 0, RunState::Running, 1, 0, 0, 1, 0, 11.11111111111111},
        ReplayKeyCase{"P_UpDoesNothing", TrackMode::P, VK_UP, 0, RunState::Running, 1, 0, 7, 1, 0, 7},
        ReplayKeyCase{"P_DownDoesNothing", TrackMode::P, VK_DOWN, 0, RunState::Running, 1, 0, 7, 1, 0, 7},
        ReplayKeyCase{"P_PresetDoesNothing", TrackMode::P, VkDigit(9), 0, RunState::Running, 1, 0, 7, 1, 0, 7},
        ReplayKeyCase{"M_JumpLeftOneMetre", TrackMode::M, VkLetter('A'), 0, RunState::Running, 1, 0, 3, 1, -1, 3},
        ReplayKeyCase{"M_JumpRightShift100", TrackMode::M, VkLetter('S'), Shift, RunState::Running, 1, 0, 3, 1, 100,
                      3},
        ReplayKeyCase{"M_CtrlShiftLeftHeldAt1000", TrackMode::M, VkLetter('A'), Ctrl | Shift, RunState::Running, 1,
                      -1000, 3, 1, -1000, 3},
        ReplayKeyCase{"P_CtrlShiftRightHeldAt1000", TrackMode::P, VK_OEM_1, Ctrl | Shift, RunState::Paused, 1, 500, 0,
                      1, 1000, 0},
        ReplayKeyCase{"S_FreeOnlyKeyIgnored", TrackMode::S, VkLetter('W'), 0, RunState::Running, 1, 0, 0, 1, 0, 0},
        ReplayKeyCase{"M_JumpNorthIgnored", TrackMode::M, VkLetter('Y'), 0, RunState::Running, 1, 0, 4, 1, 0, 4},
        ReplayKeyCase{"M_CourseKeyIgnored", TrackMode::M, VK_F6, 0, RunState::Running, 1, 0, 4, 1, 0, 4}),
    [](const testing::TestParamInfo<ReplayKeyCase>& info) { return std::string(info.param.Name); });

TEST(KeyboardTest, KeysOutsideTheTableGoOnUntouched)
{
    Session s;
    s.engine.Fix = Pose(10, 20, 30, 4);
    for (const int key : {0x09 /* Tab */, VK_F1, 0x12 /* Alt */, VkLetter('C'), VkLetter('K'), 0x60 /* numpad 0 */}) {
        EXPECT_FALSE(s.op.HandleKeyDown(key, false)) << key;
    }
    EXPECT_TRUE(s.host.Refreshes.empty());
    EXPECT_EQ(s.engine.Fix.Course, 30);
}

TEST(KeyboardTest, ModifiersAndTurnKeysFollowDownAndUp)
{
    Session s;
    s.op.HandleKeyDown(VK_CONTROL, false);
    s.op.HandleKeyDown(VK_SHIFT, false);
    EXPECT_EQ(s.engine.HeldKeys, CtrlHeld | ShiftHeld);
    s.engine.LeftTurnTicks = 7;
    s.op.HandleKeyDown(VK_LEFT, false);
    EXPECT_EQ(s.engine.LeftTurnTicks, 0);
    EXPECT_EQ(s.engine.HeldKeys, CtrlHeld | ShiftHeld | TurnLeftHeld);
    // Key-ups are never consumed, the listed ones included.
    EXPECT_FALSE(s.op.HandleKeyUp(VK_CONTROL));
    EXPECT_FALSE(s.op.HandleKeyUp(VK_LEFT));
    EXPECT_FALSE(s.op.HandleKeyUp(VkLetter('Q')));
    EXPECT_EQ(s.engine.HeldKeys, ShiftHeld);
    s.op.HandleKeyUp(VK_SHIFT);
    EXPECT_EQ(s.engine.HeldKeys, 0);
}

TEST(KeyboardTest, HeldRightKeyTurnsOnceThenTheTickTakesOver)
{
    Session s;
    s.op.HandleKeyDown(VK_RIGHT, false);
    EXPECT_EQ(s.engine.Fix.Course, 1);
    for (int i = 0; i < 10; ++i) {
        s.op.HandleKeyDown(VK_RIGHT, true);  // auto-repeat adds nothing
        s.engine.TimerTick();
    }
    EXPECT_EQ(s.engine.Fix.Course, 1);
    s.engine.TimerTick();  // the eleventh tick turns by KeySensitivity2
    EXPECT_EQ(s.engine.Fix.Course, 3);
    s.op.HandleKeyUp(VK_RIGHT);
    s.engine.TimerTick();
    EXPECT_EQ(s.engine.Fix.Course, 3);
}

TEST(KeyboardTest, FirstPressOnlyRunCommandsIgnoreAutoRepeat)
{
    Session s;
    s.engine.Options.Outputs[1].Active = false;  // nothing to open: Run changes only the state
    s.op.HandleKeyDown(VK_F2, false);
    EXPECT_EQ(s.engine.State, RunState::Running);
    s.engine.Fix.Speed = 5;
    s.op.HandleKeyDown(VK_SPACE, false);
    EXPECT_EQ(s.engine.State, RunState::Paused);
    EXPECT_EQ(s.engine.SavedSpeed, 5);
    EXPECT_TRUE(s.op.HandleKeyDown(VK_SPACE, true));
    EXPECT_EQ(s.engine.State, RunState::Paused);
    s.op.HandleKeyDown(VK_SPACE, false);
    EXPECT_EQ(s.engine.State, RunState::Running);
    EXPECT_TRUE(s.op.HandleKeyDown(VK_ESCAPE, true));
    EXPECT_EQ(s.engine.State, RunState::Running);
    s.op.HandleKeyDown(VK_ESCAPE, false);
    EXPECT_EQ(s.engine.State, RunState::Stopped);
}

TEST(KeyboardTest, CtrlDigitJumpsToFavoriteInAnyRunState)
{
    Session s;
    s.engine.Options.Favorites[4] = FavoritePoint{"家", 31.2, 121.5, 10, 90};
    s.engine.Options.Favorites[9] = FavoritePoint{"十", -5, -6, 7, 8};
    s.engine.State = RunState::Paused;
    s.engine.Fix.Speed = 3;
    s.engine.HeldKeys = CtrlHeld;
    s.op.HandleKeyDown(VkDigit(5), false);
    EXPECT_EQ(s.engine.Fix.Latitude, 31.2);
    EXPECT_EQ(s.engine.Fix.Longitude, 121.5);
    EXPECT_EQ(s.engine.Fix.Altitude, 10);
    EXPECT_EQ(s.engine.Fix.Course, 90);
    EXPECT_EQ(s.engine.Fix.Speed, 3);
    s.op.HandleKeyDown(VkDigit(0), false);
    EXPECT_EQ(s.engine.Fix.Latitude, -5);
    EXPECT_EQ(s.engine.Fix.Course, 8);
}

TEST(KeyboardTest, EnterOpensQuickHelpOnce)
{
    Session s;
    int opened = 0;
    s.op.QuickHelpOpened = [&] { ++opened; };
    EXPECT_TRUE(s.op.HandleKeyDown(VK_RETURN, false));
    EXPECT_TRUE(s.op.HandleKeyDown(VK_RETURN, false));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(s.host.Refreshes[1], 2);
    s.op.CloseQuickHelp();
    s.op.HandleKeyDown(VK_RETURN, false);
    EXPECT_EQ(opened, 2);
}

TEST(KeyboardTest, SpeedPresetTableMatchesTheKmhValues)
{
    constexpr double kmh[] = {5, 10, 20, 30, 40, 50, 60, 80, 100, 120, 0};
    constexpr double ratio[] = {0.2, 0.3, 0.5, 0.75, 1, 1.5, 2, 3, 5, 10, 0};
    ASSERT_EQ(std::size(SpeedPresets), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_NEAR(SpeedPresets[i].Speed * 3.6, kmh[i], 1e-12) << i;
        EXPECT_EQ(SpeedPresets[i].Ratio, ratio[i]) << i;
    }
}

}  // namespace
}  // namespace tolvex
