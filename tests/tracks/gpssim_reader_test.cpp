#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "reader_test_support.h"
#include "tracks/readers/gpssim.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

struct DegreesCase {
    const char* Name;
    const char* Value;
    const char* Hemisphere;
    double Degrees;
};

class NmeaDegrees : public ::testing::TestWithParam<DegreesCase> {};

TEST_P(NmeaDegrees, Converts)
{
    EXPECT_DOUBLE_EQ(NmeaToDegrees(GetParam().Value, GetParam().Hemisphere), GetParam().Degrees);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NmeaDegrees,
    ::testing::Values(DegreesCase{"North", "4807.038", "N", 48 + 7.038 / 60},
                    DegreesCase{"LowerCaseSouth", "4807.038", "s", -(48 + 7.038 / 60)},
                    DegreesCase{"West", "01131.000", "W", -(11 + 31.0 / 60)},
                    DegreesCase{"LowerCaseWest", "01131.000", "w", -(11 + 31.0 / 60)},
                    DegreesCase{"Antimeridian", "18000.000", "E", 180},
                    DegreesCase{"SouthPole", "9000.000", "S", -90},
                    DegreesCase{"NoPoint", "4807", "N", 0},
                    DegreesCase{"PointAtTwo", "12.5", "S", 0},
                    DegreesCase{"PointAtThree", "123.5", "S", -(1 + 23.5 / 60)},
                    DegreesCase{"Empty", "", "S", 0},
                    DegreesCase{"HemisphereWithBlank", "4807.038", " S", 48 + 7.038 / 60},
                    DegreesCase{"HemisphereWord", "4807.038", "SW", 48 + 7.038 / 60},
                    DegreesCase{"EmptyHemisphere", "4807.038", "", 48 + 7.038 / 60}),
    [](const ::testing::TestParamInfo<DegreesCase>& info) { return std::string(info.param.Name); });

TEST(NmeaDegreesSign, ZeroWestIsNegativeZero)
{
    EXPECT_TRUE(std::signbit(NmeaToDegrees("00000.000", "W")));
}

class GpssimReader : public ::testing::Test {
protected:
    ReadResult Read(const std::string& name) { return ReadGpssimFile(DataPath + "gpssim/" + name, {settings, host}); }

    Settings settings;
    ChoiceHost host;
};

TEST_F(GpssimReader, WaypointLinesOnly)
{
    const ReadResult result = Read("edge_cases.gpssim");
    ASSERT_TRUE(result);
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 4u);
    ASSERT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_EQ(result.Track->Segments[0].Name, "");
    EXPECT_DOUBLE_EQ(p[0].Latitude, 48.1173);
    EXPECT_DOUBLE_EQ(p[0].Longitude, 11 + 31.0 / 60);
    EXPECT_DOUBLE_EQ(p[0].Altitude, 545.4);
    EXPECT_EQ(p[0].Flags, SegmentStart | HasAltitude);
    // Trimmed lower-case record with lower-case hemispheres and five fields: no altitude.
    EXPECT_DOUBLE_EQ(p[1].Latitude, -48.1173);
    EXPECT_DOUBLE_EQ(p[1].Longitude, -(11 + 31.0 / 60));
    EXPECT_EQ(p[1].Flags, 0u);
    EXPECT_EQ(p[2].Latitude, 0);  // "4807" has no point
    EXPECT_EQ(p[2].Altitude, 1);
    // " S" is not "S"; an empty altitude field still counts as an altitude.
    EXPECT_DOUBLE_EQ(p[3].Latitude, 48.1173);
    EXPECT_EQ(p[3].Altitude, 0);
    EXPECT_EQ(p[3].Flags, SegmentEnd | HasAltitude);
    EXPECT_EQ(p[3].Time, 0);
}

TEST_F(GpssimReader, NothingToLoadFailsSilently)
{
    for (const char* name : {"one_waypoint.gpssim", "does_not_exist.gpssim"}) {
        const ReadResult result = Read(name);
        EXPECT_FALSE(result) << name;
        EXPECT_EQ(result.Message.Text, "") << name;
    }
    const ReadResult otherLines = ReadGpssimText("$FRSPD,24.50\n$GPRMC,1,2,3,4,5\n\n", {settings, host});
    EXPECT_FALSE(otherLines);
    EXPECT_EQ(otherLines.Message.Text, "");
}

TEST_F(GpssimReader, OverflowingNumbersSkipTheLine)
{
    const ReadResult result = ReadGpssimText(
        "$FRWPT,1e99999.0,N,01131.000,E\n$FRWPT,4807.038,N,01131.000,E\n$FRWPT,4808.038,N,01131.000,E,1e999\n"
        "$FRWPT,4809.038,N,01131.000,E\n",
        {settings, host});
    ASSERT_TRUE(result);
    ASSERT_EQ(result.Track->Points.size(), 2u);
    EXPECT_EQ(result.Track->Points[0].Flags, SegmentStart);
    test::ExpectSoundTrack(*result.Track);
}

}  // namespace
}  // namespace tolvex
