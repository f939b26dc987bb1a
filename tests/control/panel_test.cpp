#include "control/panel.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

template <typename T>
std::string CaseName(const testing::TestParamInfo<T>& info)
{
    return info.param.Name;
}

std::string TextAt(const PanelFrame& frame, int x, int y)
{
    const PanelText* text = frame.TextAt(x, y);
    return text ? text->Text : "<none>";
}

struct FixLineCase {
    const char* Name;
    int Format;
    SimFix Fix;
    RunState State;
    double LowerKmh;
    double UpperKmh;
    int X;
    int Y;
    const char* Expected;
};

class FixLineTest : public testing::TestWithParam<FixLineCase> {};

TEST_P(FixLineTest, DrawsTheText)
{
    const FixLineCase& c = GetParam();
    Session s;
    s.engine.Options.LatLonFormatIndex = c.Format;
    s.engine.Options.GPSLowerSpeed = c.LowerKmh / 3.6;
    s.engine.Options.GPSUpperSpeed = c.UpperKmh / 3.6;
    s.engine.Fix = c.Fix;
    s.engine.State = c.State;
    const PanelFrame frame = s.op.RefreshPanel(1);
    EXPECT_EQ(TextAt(frame, c.X, c.Y), c.Expected);
    ASSERT_NE(frame.TextAt(c.X, c.Y), nullptr);
    EXPECT_EQ(frame.TextAt(c.X, c.Y)->Group, TextGroup::Fix);
}

constexpr SimFix Example{-0.5, -122.419, 1234.56, 7.126, 10};

INSTANTIATE_TEST_SUITE_P(
    Examples, FixLineTest,
    testing::Values(
        FixLineCase{"LatitudeHalfSouthDM", 1, Example, RunState::Running, 0, 99999, 4, 4, "纬度 -00°30.0000'  "},
        FixLineCase{"LongitudeD", 0, Example, RunState::Running, 0, 99999, 176, 4, "经度 -122.419000°     "},
        FixLineCase{"LatitudeDMS", 2, SimFix{31.5, 0, 0, 0, 0}, RunState::Running, 0, 99999, 4, 4,
                    "纬度  31°30'00.00\"  "},
        FixLineCase{"BadFormatIndexDrawsD", 5, SimFix{31.5, 0, 0, 0, 0}, RunState::Running, 0, 99999, 4, 4,
                    "纬度  31.500000°     "},
        FixLineCase{"Speed", 0, Example, RunState::Running, 0, 99999, 4, 24, "速度    36.0 Km/h     "},
        FixLineCase{"Altitude", 0, Example, RunState::Running, 0, 99999, 176, 24, "高度    1234.6 m      "},
        FixLineCase{"Course", 0, Example, RunState::Running, 0, 99999, 176, 44, "方位角   7.13°    "},
        FixLineCase{"GpsSpeed", 0, Example, RunState::Running, 0, 99999, 4, 44, "GPS速度    36.0 Km/h     "},
        FixLineCase{"PausedSpeedZero", 0, SimFix{0, 0, 0, 0, 0}, RunState::Paused, 0, 99999, 4, 24,
                    "速度     0.0 Km/h     "},
        FixLineCase{"PausedGpsSpeedZeroWhateverTheLimits", 0, SimFix{0, 0, 0, 0, 0}, RunState::Paused, 10, 5, 4, 44,
                    "GPS速度     0.0 Km/h     "},
        FixLineCase{"UpperBelowLowerWinsSlow", 0, SimFix{0, 0, 0, 0, 1}, RunState::Running, 10, 5, 4, 44,
                    "GPS速度     5.0 Km/h     "},
        FixLineCase{"UpperBelowLowerWinsFast", 0, SimFix{0, 0, 0, 0, 100}, RunState::Running, 10, 5, 4, 44,
                    "GPS速度     5.0 Km/h     "},
        FixLineCase{"LowerLimitRaises", 0, SimFix{0, 0, 0, 0, 0}, RunState::Stopped, 10, 200, 4, 44,
                    "GPS速度    10.0 Km/h     "}),
    CaseName<FixLineCase>);

struct IndicatorCase {
    const char* Name;
    int Output;
    OutputLook Look;
    OutputIndicator Expected;
};

class IndicatorTest : public testing::TestWithParam<IndicatorCase> {};

TEST_P(IndicatorTest, FirstRuleThatApplies)
{
    const IndicatorCase& c = GetParam();
    EXPECT_EQ(ChooseOutputIndicator(c.Output, c.Look), c.Expected);
}

// OutputLook fields: StartFailed, Active, Open, Virtual, PeerOpen, NoNMEA.
INSTANTIATE_TEST_SUITE_P(
    Table, IndicatorTest,
    testing::Values(IndicatorCase{"FailedWinsOverOff", 1, {true, false, false, true, false, false}, OutputIndicator::Failed},
                    IndicatorCase{"Off", 2, {false, false, true, true, true, false}, OutputIndicator::Off},
                    IndicatorCase{"Ready", 3, {false, true, false, true, false, false}, OutputIndicator::Ready},
                    IndicatorCase{"VirtualWithoutPeerWaits", 1, {false, true, true, true, false, false},
                                  OutputIndicator::Waiting},
                    IndicatorCase{"VirtualWithPeerSends", 1, {false, true, true, true, true, false},
                                  OutputIndicator::Sending},
                    IndicatorCase{"RealPortSends", 2, {false, true, true, false, false, false}, OutputIndicator::Sending},
                    IndicatorCase{"OziOff", 0, {false, false, true, false, false, true}, OutputIndicator::Off},
                    IndicatorCase{"OziReady", 0, {false, true, false, false, false, true}, OutputIndicator::Ready},
                    IndicatorCase{"OziNoNmeaWaits", 0, {false, true, true, false, false, true}, OutputIndicator::Waiting},
                    IndicatorCase{"OziSends", 0, {false, true, true, true, false, false}, OutputIndicator::Sending},
                    IndicatorCase{"OziFailed", 0, {true, true, true, false, false, false}, OutputIndicator::Failed}),
    CaseName<IndicatorCase>);

struct PathCase {
    const char* Name;
    std::string Path;
    std::string Shown;  // without the 15 wiping ideographic spaces
};

class TrackPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(TrackPathTest, ShortensByHalfWidthUnits)
{
    const PathCase& c = GetParam();
    std::string wipe;
    for (int i = 0; i < 15; ++i) wipe += "\u3000";
    EXPECT_EQ(PanelTrackPath(c.Path), c.Shown + wipe);
}

const std::string Sixty = "/home/operator/tracks/2009/shanghai/pudong/day1/route-1.plt";  // 59 + 1
const std::string Cjk30 = "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十";

INSTANTIATE_TEST_SUITE_P(
    Table, TrackPathTest,
    testing::Values(PathCase{"SixtyAscii", Sixty + "x", "..." + (Sixty + "x").substr(60 - 37)},
                    PathCase{"ThirtyNineFits", std::string(39, 'a'), std::string(39, 'a')},
                    PathCase{"FortyIsShortened", std::string(3, 'b') + std::string(37, 'a'), "..." + std::string(37, 'a')},
                    // Width 60: the tail is 18 wide characters (36 units) and the next one is kept as well.
                    PathCase{"WideCharacters", Cjk30, "..." + Cjk30.substr(3 * 11)},
                    PathCase{"NineteenWideFit", Cjk30.substr(0, 3 * 19), Cjk30.substr(0, 3 * 19)},
                    PathCase{"Empty", "", ""},
                    // Bytes that are not UTF-8 count one unit each and are kept as they are.
                    PathCase{"InvalidBytes", std::string(45, '\xFF'), "..." + std::string(37, '\xFF')}),
    CaseName<PathCase>);

struct TimeCase {
    const char* Name;
    double Time;
    std::uint32_t Flags;
    const char* Expected;
};

class PointTimeTest : public testing::TestWithParam<TimeCase> {};

TEST_P(PointTimeTest, Line)
{
    const TimeCase& c = GetParam();
    TrackPoint p;
    p.Time = c.Time;
    p.Flags = c.Flags;
    EXPECT_EQ(PointTimeLine(&p), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PointTimeTest,
    testing::Values(
        TimeCase{"Forward", 1241136000, HasTime, "当前航迹点时间（UTC）：        2009.05.01  00:00:00   "},
        TimeCase{"ReversedCopyNegated", -1241136000.4, HasTime, "当前航迹点时间（UTC）：        2009.05.01  00:00:00   "},
        TimeCase{"HalfSecondRoundsUp", 1241136000.5, HasTime, "当前航迹点时间（UTC）：        2009.05.01  00:00:01   "},
        TimeCase{"NoTime", 1241136000, 0, "当前航迹点时间（UTC）：        无                               "},
        TimeCase{"UnconvertibleGivesEmptyTime", 1e300, HasTime, "当前航迹点时间（UTC）：        "}),
    CaseName<TimeCase>);

TEST(PanelTest, PointTimeWithoutAPoint)
{
    EXPECT_EQ(PointTimeLine(nullptr), "当前航迹点时间（UTC）：        无                               ");
}

struct OffsetCase {
    const char* Name;
    double Offset;
    const char* Expected;
};

class OffsetLineTest : public testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetLineTest, Text)
{
    EXPECT_EQ(OffsetLine(GetParam().Offset), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, OffsetLineTest,
                         testing::Values(OffsetCase{"Left", -12.34, "偏移 左12.3m      "},
                                         OffsetCase{"Right", 1000, "偏移 右1000.0m      "},
                                         OffsetCase{"Zero", 0, "偏移 0m        "},
                                         OffsetCase{"NegativeZero", -0.0, "偏移 0m        "}),
                         CaseName<OffsetCase>);

struct RunStateCase {
    const char* Name;
    RunState State;
    bool AnyActive;
    const char* Label;
    bool Run;
    bool Pause;
    bool Stop;
};

class RunButtonsTest : public testing::TestWithParam<RunStateCase> {};

TEST_P(RunButtonsTest, LabelAndEnabling)
{
    const RunStateCase& c = GetParam();
    Session s;
    for (auto& output : s.engine.Options.Outputs) output.Active = false;
    s.engine.Options.Outputs[2].Active = c.AnyActive;
    s.engine.State = c.State;
    const PanelFrame frame = s.op.RefreshPanel(2);
    ASSERT_TRUE(frame.FullRedraw);
    EXPECT_EQ(frame.Buttons.Label, c.Label);
    EXPECT_EQ(TextAt(frame, 46, 70), c.Label);
    EXPECT_EQ(frame.Buttons.RunEnabled, c.Run);
    EXPECT_EQ(frame.Buttons.PauseEnabled, c.Pause);
    EXPECT_EQ(frame.Buttons.StopEnabled, c.Stop);
}

INSTANTIATE_TEST_SUITE_P(Table, RunButtonsTest,
                         testing::Values(RunStateCase{"StoppedStartable", RunState::Stopped, true, "停止 ", true, false, false},
                                         RunStateCase{"StoppedNothingToStart", RunState::Stopped, false, "停止 ", false,
                                                      false, false},
                                         RunStateCase{"RunningStartable", RunState::Running, true, "运行 ", true, true, true},
                                         RunStateCase{"RunningNothingToStart", RunState::Running, false, "运行 ", false,
                                                      true, true},
                                         RunStateCase{"PausedAllEnabled", RunState::Paused, false, "暂停 ", true, true,
                                                      true}),
                         CaseName<RunStateCase>);

TEST(PanelTest, OutputTableTextsAndPositions)
{
    Session s;
    s.engine.Options.Outputs[1].Port = 2;
    s.engine.Options.Outputs[2].Virtual = false;
    s.engine.Options.Outputs[2].Port = 14;
    const PanelFrame frame = s.op.RefreshPanel(2);
    EXPECT_EQ(TextAt(frame, 172, 68), "输出");
    EXPECT_EQ(TextAt(frame, 172, 88), "端口");
    EXPECT_EQ(TextAt(frame, 172, 108), "状态");
    EXPECT_EQ(TextAt(frame, 215, 68), "0");
    EXPECT_EQ(TextAt(frame, 296, 68), "3");
    EXPECT_EQ(TextAt(frame, 208, 88), "OZI");
    EXPECT_EQ(TextAt(frame, 235, 88), "V3  ");
    EXPECT_EQ(TextAt(frame, 262, 88), "  15  ");
    EXPECT_EQ(frame.Outputs[3].PictureX, 287);
    EXPECT_EQ(frame.Outputs[3].PictureY, 104);
    EXPECT_EQ(frame.Outputs[1].Indicator, OutputIndicator::Ready);  // active by default, not open
    EXPECT_EQ(frame.Outputs[0].Indicator, OutputIndicator::Off);
    EXPECT_EQ(frame.TextAt(172, 68)->Group, TextGroup::Status);
}

TEST(PanelTest, ValuesOnlyRefreshLeavesTheTableAlone)
{
    Session s;
    const PanelFrame frame = s.op.RefreshPanel(1);
    EXPECT_FALSE(frame.FullRedraw);
    EXPECT_EQ(frame.TextAt(172, 68), nullptr);
    EXPECT_EQ(frame.Texts.size(), 6u);
    EXPECT_FALSE(frame.ReplayShown);
}

TEST(PanelTest, PeerOpeningTheVirtualPortRedrawsTheTable)
{
    Session s;
    s.engine.RunCommand();  // output 1: virtual COM3, no reader yet
    ASSERT_NE(s.engine.Outputs[1].OpenPort, nullptr);
    PanelFrame frame = s.op.RefreshPanel(2);
    EXPECT_EQ(frame.Outputs[1].Indicator, OutputIndicator::Waiting);
    EXPECT_FALSE(s.op.RefreshPanel(1).FullRedraw);

    s.ports.PeerOpen[3] = true;
    frame = s.op.RefreshPanel(1);
    EXPECT_TRUE(frame.FullRedraw);
    EXPECT_EQ(frame.Outputs[1].Indicator, OutputIndicator::Sending);
    EXPECT_EQ(s.op.DrawnClientMask, 0x02);
    EXPECT_FALSE(s.op.RefreshPanel(1).FullRedraw);

    // Once stopped the mask is empty again, which is itself a change.
    s.engine.State = RunState::Stopped;
    EXPECT_TRUE(s.op.RefreshPanel(1).FullRedraw);
    EXPECT_EQ(s.op.DrawnClientMask, 0);
}

TEST(PanelTest, ReplayLinesInModeS)
{
    Session s;
    s.Load({40, 60}, TrackMode::S);
    s.replay.GoToPointNumber(50);
    s.replay.SetSpeedRatio(1.5);
    s.replay.SetLateralOffset(-12.34);
    const PanelFrame frame = s.op.RefreshPanel(1);
    ASSERT_TRUE(frame.ReplayShown);
    EXPECT_EQ(TextAt(frame, 5, 160), "2 / 2 段      ");
    EXPECT_EQ(TextAt(frame, 80, 160), "段内 10 / 60 点        ");
    EXPECT_EQ(TextAt(frame, 195, 160), "总 50 / 100 点          ");
    EXPECT_EQ(TextAt(frame, 214, 182), "偏移 左12.3m      ");
    EXPECT_EQ(TextAt(frame, 214, 200), "速度比例 1.50     ");
    EXPECT_EQ(frame.TextAt(28, 138)->Text.substr(0, 21), "/data/tracks/line.plt");
    // Point 50 is 49 steps of 10 s after the first.
    EXPECT_EQ(TextAt(frame, 4, 225), "当前航迹点时间（UTC）：        2009.05.01  00:08:10   ");
    EXPECT_EQ(frame.TextAt(4, 225)->Group, TextGroup::Replay);
    EXPECT_EQ(frame.SelectedMode, TrackMode::S);
}

TEST(PanelTest, ReplayLinesOutsideSBlankTheRatio)
{
    Session s;
    s.Load({10}, TrackMode::M, false);
    s.replay.SetLoop(LoopMode::SegmentLoop);
    s.store.SetReversed(true);
    const PanelFrame frame = s.op.RefreshPanel(1);
    EXPECT_EQ(TextAt(frame, 214, 200), std::string(34, ' '));
    EXPECT_EQ(TextAt(frame, 4, 225), "当前航迹点时间（UTC）：        无                               ");
    EXPECT_EQ(frame.LoopPicture, LoopMode::SegmentLoop);
    EXPECT_TRUE(frame.ReversedPicture);
}

TEST(PanelTest, NoPathLineBeforeASuccessfulLoad)
{
    Session s;
    s.Load({10}, TrackMode::P);
    s.store.LoadedTrackPath.clear();
    const PanelFrame frame = s.op.RefreshPanel(1);
    EXPECT_EQ(frame.TextAt(28, 138), nullptr);
    EXPECT_NE(frame.TextAt(4, 225), nullptr);
}

}  // namespace
}  // namespace tolvex
