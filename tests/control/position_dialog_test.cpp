#include "control/position_dialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

TEST(PositionFormTest, DmsShowsRoundedSecondsAndComesBack)
{
    const PositionForm form = FillPositionForm(LatLonFormat::DMS, SimFix{31.2304, -70.6693, 0, 0, 0}, 0, TrackMode::Free);
    EXPECT_EQ(form.Latitude.Degrees, 31);
    EXPECT_EQ(form.Latitude.WholeMinutes, 13);
    EXPECT_DOUBLE_EQ(form.Latitude.Seconds, 49.44);
    EXPECT_FALSE(form.Latitude.Negative);
    EXPECT_EQ(form.Longitude.Degrees, 70);
    EXPECT_TRUE(form.Longitude.Negative);
    EXPECT_NEAR(AngleFromFields(LatLonFormat::DMS, form.Latitude, 90), 31.2304, 1e-12);
    EXPECT_NEAR(AngleFromFields(LatLonFormat::DMS, form.Longitude, 180), -70.6693, 1e-12);
}

TEST(PositionFormTest, SecondsAndMinutesRoundingToSixtyCarry)
{
    const PositionForm dms = FillPositionForm(LatLonFormat::DMS, SimFix{31.2, -2e-16, 0, 0, 0}, 0, TrackMode::Free);
    EXPECT_EQ(dms.Latitude.WholeMinutes, 12);
    EXPECT_DOUBLE_EQ(dms.Latitude.Seconds, 0);
    EXPECT_FALSE(dms.Longitude.Negative);
    const PositionForm dm = FillPositionForm(LatLonFormat::DM, SimFix{-10.99999999999, 0, 0, 0, 0}, 0, TrackMode::Free);
    EXPECT_EQ(dm.Latitude.Degrees, 11);
    EXPECT_DOUBLE_EQ(dm.Latitude.Minutes, 0);
    EXPECT_TRUE(dm.Latitude.Negative);
}

TEST(PositionFormTest, PassThroughTheDialogQuantisesToTheShownDecimals)
{
    const PositionForm form = FillPositionForm(LatLonFormat::DMS, SimFix{31.23041234, 0, 0, 0, 0}, 0, TrackMode::Free);
    EXPECT_DOUBLE_EQ(form.Latitude.Seconds, 49.48);
    EXPECT_NEAR(AngleFromFields(LatLonFormat::DMS, form.Latitude, 90), 31.2304111, 1e-7);
}

TEST(PositionFormTest, RoundingPerFieldAndFormat)
{
    const SimFix fix{-33.86881234567, 151.20931234567, 12.345678, 123.456789, 10.0 / 3.6 + 0.0001};
    const PositionForm d = FillPositionForm(LatLonFormat::D, fix, fix.Speed, TrackMode::Free);
    EXPECT_DOUBLE_EQ(d.Latitude.SignedDegrees, -33.868812);
    EXPECT_DOUBLE_EQ(d.Longitude.SignedDegrees, 151.209312);
    EXPECT_DOUBLE_EQ(d.Altitude, 12.35);
    EXPECT_DOUBLE_EQ(d.Course, 123.4568);
    EXPECT_DOUBLE_EQ(d.SpeedKmh, 10);
    const PositionForm dm = FillPositionForm(LatLonFormat::DM, fix, 0, TrackMode::Free);
    EXPECT_EQ(dm.Latitude.Degrees, 33);
    EXPECT_DOUBLE_EQ(dm.Latitude.Minutes, 52.1287);
    EXPECT_TRUE(dm.Latitude.Negative);
}

struct EnableCase {
    const char* Name;
    TrackMode Mode;
    bool AltitudeAndCourse;
    bool Speed;
};

class PositionEnablingTest : public testing::TestWithParam<EnableCase> {};

TEST_P(PositionEnablingTest, FieldsByMode)
{
    const EnableCase& c = GetParam();
    const PositionForm form = FillPositionForm(LatLonFormat::D, SimFix{}, 0, c.Mode);
    EXPECT_EQ(form.AltitudeEnabled, c.AltitudeAndCourse);
    EXPECT_EQ(form.CourseEnabled, c.AltitudeAndCourse);
    EXPECT_EQ(form.SpeedEnabled, c.Speed);
}

INSTANTIATE_TEST_SUITE_P(Table, PositionEnablingTest,
                         testing::Values(EnableCase{"Free", TrackMode::Free, true, true},
                                         EnableCase{"P", TrackMode::P, false, false},
                                         EnableCase{"M", TrackMode::M, false, true},
                                         EnableCase{"S", TrackMode::S, false, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct RangeCase {
    const char* Name;
    LatLonFormat Format;
    void (*Edit)(PositionForm&);
    const char* Field;  // empty: accepted
};

class PositionRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(PositionRangeTest, FirstFieldOutOfRange)
{
    const RangeCase& c = GetParam();
    PositionForm form = FillPositionForm(c.Format, SimFix{10, 20, 30, 40, 5}, 5, TrackMode::Free);
    c.Edit(form);
    const auto error = CheckPositionForm(form);
    if (std::string(c.Field).empty()) {
        EXPECT_FALSE(error.has_value());
    } else {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Field, c.Field);
    }
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, PositionRangeTest,
    testing::Values(
        RangeCase{"Untouched", LatLonFormat::DMS, [](PositionForm&) {}, ""},
        RangeCase{"LatitudeD", LatLonFormat::D, [](PositionForm& f) { f.Latitude.SignedDegrees = -90.000001; },
                  "纬度(度)"},
        RangeCase{"LongitudeDEdge", LatLonFormat::D, [](PositionForm& f) { f.Longitude.SignedDegrees = 180; }, ""},
        RangeCase{"LongitudeD", LatLonFormat::D, [](PositionForm& f) { f.Longitude.SignedDegrees = 180.5; },
                  "经度(度)"},
        RangeCase{"DegreesDM", LatLonFormat::DM, [](PositionForm& f) { f.Latitude.Degrees = 91; }, "纬度"},
        RangeCase{"MinutesDM", LatLonFormat::DM, [](PositionForm& f) { f.Longitude.Minutes = 60.01; }, "经度"},
        RangeCase{"MinutesSixtyAccepted", LatLonFormat::DM, [](PositionForm& f) { f.Longitude.Minutes = 60; }, ""},
        RangeCase{"WholeMinutesDMS", LatLonFormat::DMS, [](PositionForm& f) { f.Latitude.WholeMinutes = 60; }, "纬度"},
        RangeCase{"SecondsDMS", LatLonFormat::DMS, [](PositionForm& f) { f.Longitude.Seconds = -0.01; }, "经度"},
        RangeCase{"NegativeDegreesDMS", LatLonFormat::DMS, [](PositionForm& f) { f.Longitude.Degrees = -1; }, "经度"},
        RangeCase{"Altitude", LatLonFormat::D, [](PositionForm& f) { f.Altitude = 277777.6; }, "高度(米)"},
        RangeCase{"Course", LatLonFormat::D, [](PositionForm& f) { f.Course = 360.0001; }, "方位角(度)"},
        RangeCase{"Course360Accepted", LatLonFormat::D, [](PositionForm& f) { f.Course = 360; }, ""},
        RangeCase{"Speed", LatLonFormat::D, [](PositionForm& f) { f.SpeedKmh = 100000; }, "速度(千米/小时)"},
        RangeCase{"NegativeSpeed", LatLonFormat::D, [](PositionForm& f) { f.SpeedKmh = -1; }, "速度(千米/小时)"},
        RangeCase{"NotANumberRefused", LatLonFormat::D, [](PositionForm& f) { f.Course = NaN; }, "方位角(度)"},
        RangeCase{"LatitudeBeforeAltitude", LatLonFormat::D,
                  [](PositionForm& f) {
                      f.Altitude = 1e9;
                      f.Latitude.SignedDegrees = 100;
                  },
                  "纬度(度)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PositionFormTest, NinetyDegreesWithMinutesIsLimited)
{
    AngleFields fields;
    fields.Degrees = 90;
    fields.Minutes = 30;
    fields.Negative = true;
    EXPECT_EQ(AngleFromFields(LatLonFormat::DM, fields, 90), -90);
    fields.Degrees = 180;
    EXPECT_EQ(AngleFromFields(LatLonFormat::DM, fields, 180), -180);
}

TEST(PositionDialogTest, FreeDrivingSetsThePose)
{
    Session s;
    s.engine.State = RunState::Running;
    PositionForm form = s.op.OpenPositionDialog(LatLonFormat::DM);
    EXPECT_TRUE(s.replay.TrackBusy());  // no driving while the dialog is open
    form.Latitude = AngleFields{0, 31, 13.824, 0, 0, false};
    form.Longitude = AngleFields{0, 70, 40.158, 0, 0, true};
    form.Altitude = 12.5;
    form.Course = 270;
    form.SpeedKmh = 36;
    EXPECT_FALSE(s.op.ConfirmPositionDialog(form).has_value());
    EXPECT_NEAR(s.engine.Fix.Latitude, 31.2304, 1e-12);
    EXPECT_NEAR(s.engine.Fix.Longitude, -70.6693, 1e-12);
    EXPECT_EQ(s.engine.Fix.Altitude, 12.5);
    EXPECT_EQ(s.engine.Fix.Course, 270);
    EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, 10);
    EXPECT_FALSE(s.replay.TrackBusy());
    EXPECT_GE(s.host.Refreshes[1], 1);
}

TEST(PositionDialogTest, RefusedFieldKeepsTheDialogAndTheFix)
{
    Session s;
    s.engine.State = RunState::Running;
    s.engine.Fix = SimFix{1, 2, 3, 4, 5};
    PositionForm form = s.op.OpenPositionDialog(LatLonFormat::D);
    form.Latitude.SignedDegrees = 95;
    form.Course = 100;
    const auto error = s.op.ConfirmPositionDialog(form);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Min, -90);
    EXPECT_EQ(error->Max, 90);
    EXPECT_EQ(s.engine.Fix.Latitude, 1);
    EXPECT_EQ(s.engine.Fix.Course, 4);
    EXPECT_TRUE(s.replay.TrackBusy());
    s.op.CancelPositionDialog();
    EXPECT_FALSE(s.replay.TrackBusy());
}

TEST(PositionDialogTest, StoppedDoesNotHoldTheReplay)
{
    Session s;
    s.op.OpenPositionDialog(LatLonFormat::D);
    EXPECT_FALSE(s.replay.TrackBusy());
}

TEST(PositionDialogTest, PausedShowsAndSetsTheSavedSpeed)
{
    Session s;
    s.engine.Options.Outputs[1].Active = false;
    s.engine.RunCommand();
    s.engine.Fix.Speed = 20 / 3.6;
    s.engine.PauseCommand();
    PositionForm form = s.op.OpenPositionDialog(LatLonFormat::D);
    EXPECT_DOUBLE_EQ(form.SpeedKmh, 20);
    form.SpeedKmh = 50;
    s.op.ConfirmPositionDialog(form);
    EXPECT_EQ(s.engine.Fix.Speed, 0);
    EXPECT_DOUBLE_EQ(s.engine.SavedSpeed, 50 / 3.6);
    s.engine.PauseCommand();  // the new speed is used when the pause ends
    EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, 50 / 3.6);
}

struct ReplayConfirmCase {
    const char* Name;
    TrackMode Mode;
    bool SpeedApplied;
};

class PositionReplayTest : public testing::TestWithParam<ReplayConfirmCase> {};

TEST_P(PositionReplayTest, SnapsAndAppliesSpeedOnlyInM)
{
    const ReplayConfirmCase& c = GetParam();
    Session s;
    s.Load({50}, c.Mode);
    s.engine.State = RunState::Running;
    PositionForm form = s.op.OpenPositionDialog(LatLonFormat::D);
    EXPECT_TRUE(s.replay.TrackBusy());
    const double speedBefore = s.engine.Fix.Speed;
    form.Latitude.SignedDegrees = 0.3;
    form.Longitude.SignedDegrees = 0.0301;  // nearest point 31
    form.Altitude = 5000;
    form.Course = 123;
    form.SpeedKmh = 72;
    EXPECT_FALSE(s.op.ConfirmPositionDialog(form).has_value());
    EXPECT_FALSE(s.replay.TrackBusy());
    EXPECT_EQ(s.replay.Point(), 31);
    EXPECT_NE(s.engine.Fix.Altitude, 5000);
    EXPECT_NE(s.engine.Fix.Course, 123);
    if (c.SpeedApplied)
        EXPECT_DOUBLE_EQ(s.engine.Fix.Speed, 20);
    else
        EXPECT_NE(s.engine.Fix.Speed, 20) << speedBefore;
}

INSTANTIATE_TEST_SUITE_P(Table, PositionReplayTest,
                         testing::Values(ReplayConfirmCase{"P", TrackMode::P, false},
                                         ReplayConfirmCase{"M", TrackMode::M, true},
                                         ReplayConfirmCase{"S", TrackMode::S, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(PositionDialogTest, LooksOfTheThreeDialogs)
{
    EXPECT_EQ(PositionDialogOf(LatLonFormat::D).Template, 129);
    EXPECT_STREQ(PositionDialogOf(LatLonFormat::D).LatitudeLabel, "纬度(度)");
    EXPECT_EQ(PositionDialogOf(LatLonFormat::DM).Template, 130);
    EXPECT_STREQ(PositionDialogOf(LatLonFormat::DMS).LongitudeLabel, "经度");
    EXPECT_EQ(PositionDialogOf(LatLonFormat::DMS).Template, 135);
    EXPECT_STREQ(PositionDialogOf(LatLonFormat::DMS).Title, "当前位置");
}

}  // namespace
}  // namespace tolvex
