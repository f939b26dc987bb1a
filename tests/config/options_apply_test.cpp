#include "config/options_apply.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>

namespace tolvex {
namespace {

TEST(OptionsApplyTest, IntervalsRoundToTheNearestTick)
{
    EXPECT_EQ(RoundInterval(1009), 1000);
    EXPECT_EQ(RoundInterval(1010), 1020);
    EXPECT_EQ(RoundInterval(100), 100);
    EXPECT_EQ(RoundInterval(59999), 60000);
    EXPECT_EQ(RoundInterval(60000), 60000);
}

struct RangeCase {
    const char* Name;
    int Page;
    void (*Edit)(OptionsForm&);
    bool Refused;
};

const RangeCase RangeCases[] = {
    {"interval 99 refused", OptionsPage::Output1, [](OptionsForm& f) { f.Outputs[1].Interval = 99; }, true},
    {"interval 100 taken", OptionsPage::Output1, [](OptionsForm& f) { f.Outputs[1].Interval = 100; }, false},
    {"output 0 interval 60001 refused", OptionsPage::Output0, [](OptionsForm& f) { f.Outputs[0].Interval = 60001; }, true},
    {"upper limit 99999 taken", OptionsPage::Gps, [](OptionsForm& f) { f.UpperSpeedKmh = 99999; }, false},
    {"lower limit below 0 refused", OptionsPage::Gps, [](OptionsForm& f) { f.LowerSpeedKmh = -1; }, true},
    {"time factor above a day refused", OptionsPage::Gps, [](OptionsForm& f) { f.GPSTimeFactor = 86401; }, true},
    {"any time offset taken", OptionsPage::Gps, [](OptionsForm& f) { f.GPSTimeOffset = -1e6; }, false},
    {"first key sensitivity 0 refused", OptionsPage::Misc, [](OptionsForm& f) { f.KeySensitivity1 = 0; }, true},
    {"second key sensitivity 0 taken", OptionsPage::Misc, [](OptionsForm& f) { f.KeySensitivity2 = 0; }, false},
    {"wheel -90 taken", OptionsPage::Misc, [](OptionsForm& f) { f.WheelSensitivity = -90; }, false},
    {"wheel 91 refused", OptionsPage::Misc, [](OptionsForm& f) { f.WheelSensitivity = 91; }, true},
    {"one point per segment refused", OptionsPage::Track, [](OptionsForm& f) { f.MinTrackPoints = 1; }, true},
    {"length not a number refused", OptionsPage::Track, [](OptionsForm& f) { f.MinTrackLength = std::nan(""); }, true},
    {"mask 91 refused", OptionsPage::Sky, [](OptionsForm& f) { f.Sky.MaskDeg = 91; }, true},
    {"mask 90 taken", OptionsPage::Sky, [](OptionsForm& f) { f.Sky.MaskDeg = 90; }, false},
    {"negative UERE refused", OptionsPage::Sky, [](OptionsForm& f) { f.Sky.Uere = -0.1; }, true},
    {"correlation time 0 refused", OptionsPage::Sky, [](OptionsForm& f) { f.Sky.CorrelationTime = 0; }, true},
};

class OptionsRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(OptionsRangeTest, PageChecksItsOwnFieldsOnly)
{
    const RangeCase& c = GetParam();
    OptionsForm form = OptionsFormOf(Settings{});
    c.Edit(form);
    const auto error = CheckOptionsPage(form, c.Page);
    EXPECT_EQ(error.has_value(), c.Refused);
    if (error) {
        EXPECT_EQ(error->Page, c.Page);
        EXPECT_EQ(CheckOptionsForm(form)->Field, error->Field);
    }
    // The other pages do not look at the field.
    for (int page = 0; page < OptionsPageCount; ++page) {
        if (page != c.Page) {
            EXPECT_FALSE(CheckOptionsPage(form, page)) << page;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, OptionsRangeTest, ::testing::ValuesIn(RangeCases),
                         [](const auto& info) {
                             std::string name = info.param.Name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(OptionsApplyTest, OkConvertsLimitsRoundsIntervalsAndSetsTheStep)
{
    Settings s;
    OptionsForm form = OptionsFormOf(s);
    form.UpperSpeedKmh = 50;
    form.LowerSpeedKmh = 3.6;
    form.Outputs[2].Interval = 1010;
    form.Outputs[0].Interval = 199;
    form.StepIndex = 7;
    ApplyOptionsOk(form, s);
    EXPECT_NEAR(s.GPSUpperSpeed, 13.888888888888889, 1e-12);
    EXPECT_NEAR(s.GPSLowerSpeed, 1, 1e-12);
    EXPECT_EQ(s.Outputs[2].Interval, 1020);
    EXPECT_EQ(s.Outputs[0].Interval, 200);
    EXPECT_EQ(s.StepIndex, 7);
    EXPECT_DOUBLE_EQ(s.Step, 0.1 / 60);

    // Reopening shows the limit in km/h as it was typed.
    EXPECT_NEAR(OptionsFormOf(s).UpperSpeedKmh, 50, 1e-9);

    // Limits left as shown keep their exact m/s values, though km/h and back is not exact.
    s.GPSUpperSpeed = 0.07;
    s.GPSLowerSpeed = 0.05;
    ASSERT_NE(s.GPSUpperSpeed * KmhPerMps / KmhPerMps, s.GPSUpperSpeed);
    ApplyOptionsOk(OptionsFormOf(s), s);
    EXPECT_EQ(s.GPSUpperSpeed, 0.07);
    EXPECT_EQ(s.GPSLowerSpeed, 0.05);
}

TEST(OptionsApplyTest, AStepIndexOutsideTheTableBecomesOne)
{
    Settings s;
    s.StepIndex = 15;
    s.Step = 1;
    ApplyOptionsOk(OptionsFormOf(s), s);
    EXPECT_EQ(s.StepIndex, 1);
    EXPECT_EQ(s.Step, 0.00001);
}

TEST(OptionsApplyTest, StepTableRunsFromMicrodegreesToTenSeconds)
{
    ASSERT_EQ(StepCount, 12);
    EXPECT_STREQ(StepTable[0].Text, "0.000001 度");
    EXPECT_STREQ(StepTable[3].Text, "0.001度");
    EXPECT_DOUBLE_EQ(StepTable[4].Degrees, 0.0001 / 60);
    EXPECT_DOUBLE_EQ(StepTable[11].Degrees, 10.0 / 3600);
}

TEST(OptionsApplyTest, LeavingAPageStoresOnlyThatPage)
{
    Settings s;
    OptionsForm form = OptionsFormOf(s);
    form.Outputs[1].Interval = 1009;
    form.Outputs[2].Active = true;
    form.UpperSpeedKmh = 10;
    form.GPSTimeFactor = 2;
    StoreOptionsPage(form, OptionsPage::Output1, s);
    EXPECT_EQ(s.Outputs[1].Interval, 1000);
    EXPECT_FALSE(s.Outputs[2].Active);
    StoreOptionsPage(form, OptionsPage::Gps, s);
    EXPECT_EQ(s.GPSTimeFactor, 2);
    // The limits wait for OK: the page holds them in km/h.
    EXPECT_EQ(s.GPSUpperSpeed, Settings{}.GPSUpperSpeed);
}

TEST(OptionsApplyTest, RestorePutsBackEveryFieldTheSheetEdits)
{
    const Settings saved;
    Settings s = saved;
    OptionsForm form = OptionsFormOf(s);
    form.Outputs[0].Active = true;
    form.Outputs[0].NoNMEA = true;
    form.Outputs[3].Port = 9;
    form.UpperSpeedKmh = 1;
    form.GPSTimeOffset = 8;
    form.LatLonFormatIndex = 2;
    form.StepIndex = 10;
    form.WheelSensitivity = -5;
    form.MinTrackPoints = 99;
    form.MinTrackLength = 12.5;
    ApplyOptionsOk(form, s);
    s.AlwaysOnTop = true;  // not the sheet's: stays
    RestoreOptions(saved, s);
    EXPECT_FALSE(s.Outputs[0].Active);
    EXPECT_FALSE(s.Outputs[0].NoNMEA);
    EXPECT_EQ(s.Outputs[3].Port, saved.Outputs[3].Port);
    EXPECT_EQ(s.GPSUpperSpeed, saved.GPSUpperSpeed);
    EXPECT_EQ(s.GPSTimeOffset, 0);
    EXPECT_EQ(s.LatLonFormatIndex, 0);
    EXPECT_EQ(s.StepIndex, 1);
    EXPECT_EQ(s.Step, saved.Step);
    EXPECT_EQ(s.WheelSensitivity, 5);
    EXPECT_EQ(s.MinTrackPoints, 2);
    EXPECT_EQ(s.MinTrackLength, 0);
    EXPECT_TRUE(s.AlwaysOnTop);
}

TEST(OptionsApplyTest, OutputPageEnablingFollowsActiveAndRunning)
{
    const OutputPageLook idle = OutputPageLookOf(true, false, true, false);
    EXPECT_TRUE(idle.ActiveBox && idle.PortFields && idle.IntervalAndSentences);
    EXPECT_TRUE(idle.Status.empty());

    const OutputPageLook off = OutputPageLookOf(false, false, true, false);
    EXPECT_TRUE(off.ActiveBox);
    EXPECT_FALSE(off.PortFields);
    EXPECT_FALSE(off.IntervalAndSentences);

    const OutputPageLook waiting = OutputPageLookOf(true, true, true, false);
    EXPECT_FALSE(waiting.ActiveBox);
    EXPECT_FALSE(waiting.PortFields);
    EXPECT_TRUE(waiting.IntervalAndSentences);
    EXPECT_EQ(waiting.Status, "运行中,对方未打开");
    EXPECT_EQ(OutputPageLookOf(true, true, true, true).Status, "运行中,对方已打开");
    EXPECT_TRUE(OutputPageLookOf(true, true, false, true).Status.empty());  // a real port has no peer
}

TEST(OptionsApplyTest, OziPageEnablingFollowsTheLink)
{
    const OziPageLook up = OziPageLookOf(true, true);
    EXPECT_FALSE(up.ActiveBox);
    EXPECT_TRUE(up.IntervalAndSentences);
    EXPECT_EQ(up.Status, "运行中(经Ozi API)");
    const OziPageLook off = OziPageLookOf(false, false);
    EXPECT_TRUE(off.ActiveBox);
    EXPECT_FALSE(off.IntervalAndSentences);
    EXPECT_TRUE(off.NoNmeaBox);
    EXPECT_TRUE(off.Status.empty());
}

TEST(OptionsApplyTest, PagesAndOutputsMapBothWays)
{
    EXPECT_STREQ(OptionsTabText(OptionsPage::Output0), "输出0(Ozi)");
    EXPECT_STREQ(OptionsTabText(OptionsPage::Track), "航迹");
    EXPECT_STREQ(OptionsTabText(OptionsPage::Sky), "卫星");
    EXPECT_EQ(OptionsTabText(8), nullptr);
    for (int output = 0; output < OutputCount; ++output)
        EXPECT_EQ(OutputOfOptionsPage(OptionsPageOfOutput(output)), output);
    EXPECT_EQ(OptionsPageOfOutput(0), 3);
    EXPECT_EQ(OptionsPageOfOutput(1), 0);
    EXPECT_EQ(OptionsPageOfOutput(4), -1);
    EXPECT_EQ(OutputOfOptionsPage(OptionsPage::Gps), -1);
}

}  // namespace
}  // namespace tolvex
