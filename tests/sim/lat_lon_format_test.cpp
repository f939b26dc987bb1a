#include "sim/lat_lon_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tolvex {
namespace {

struct FormatCase {
    const char* Name;
    int Format;
    double Latitude;
    double Longitude;
    const char* LatitudeText;
    const char* LongitudeText;
};

class FormatLatLonTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatLatLonTest, PlainAndPanelForms)
{
    const FormatCase& c = GetParam();
    const LatLonText plain = FormatLatLon(c.Format, c.Latitude, c.Longitude);
    EXPECT_EQ(plain.Latitude, c.LatitudeText);
    EXPECT_EQ(plain.Longitude, c.LongitudeText);

    // The panel draws the same text followed by its wiping blanks.
    const std::string pad = ToLatLonFormat(c.Format) == LatLonFormat::D ? "     " : "  ";
    const LatLonText panel = FormatPanelLatLon(c.Format, c.Latitude, c.Longitude);
    EXPECT_EQ(panel.Latitude, std::string(c.LatitudeText) + pad);
    EXPECT_EQ(panel.Longitude, std::string(c.LongitudeText) + pad);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatLatLonTest,
    testing::Values(
        FormatCase{"SydneyInDM", 1, -33.8688, 151.2093, "纬度 -33°52.1280'", "经度  151°12.5580'"},
        FormatCase{"HalfDegreeSouthInDM", 1, -0.5, 0, "纬度 -00°30.0000'", "经度  000°00.0000'"},
        FormatCase{"HalfDegreeInDMS", 2, 31.5, -0.25, "纬度  31°30'00.00\"", "经度 -000°15'00.00\""},
        FormatCase{"SanFranciscoInD", 0, 37.7749, -122.419, "纬度  37.774900°", "经度 -122.419000°"},
        FormatCase{"ZeroInD", 0, 0, 0, "纬度  00.000000°", "经度  000.000000°"},
        FormatCase{"ZeroInDMS", 2, 0, 0, "纬度  00°00'00.00\"", "经度  000°00'00.00\""},
        FormatCase{"SouthPoleAntimeridianInD", 0, -90, -180, "纬度 -90.000000°", "经度 -180.000000°"},
        FormatCase{"NorthPoleAntimeridianInDMS", 2, 90, 180, "纬度  90°00'00.00\"", "经度  180°00'00.00\""},
        FormatCase{"ShanghaiInDMS", 2, 31.2304, 121.4737, "纬度  31°13'49.44\"", "经度  121°28'25.32\""},
        FormatCase{"SecondsRoundingToSixtyCarryInDMS", 2, 31.2, -10.99999999999, "纬度  31°12'00.00\"",
                   "经度 -011°00'00.00\""},
        FormatCase{"MinutesRoundingToSixtyCarryInDM", 1, 10.99999999999, -2e-16, "纬度  11°00.0000'",
                   "经度  000°00.0000'"},
        FormatCase{"NegativeRoundingToZeroHasNoSignInD", 0, -1e-9, 179.9999999999, "纬度  00.000000°",
                   "经度  180.000000°"},
        FormatCase{"IndexAboveRangeReadsAsD", 7, 1.5, 2.5, "纬度  01.500000°", "经度  002.500000°"},
        FormatCase{"NegativeIndexReadsAsD", -1, -1.5, -2.5, "纬度 -01.500000°", "经度 -002.500000°"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.Name); });

struct CopyCase {
    const char* Name;
    CoordinateAxis Axis;
    double Value;
    const char* Degrees;
    const char* DegreesMinutes;
    const char* DegreesMinutesSeconds;
};

class CopyCoordinateTest : public testing::TestWithParam<CopyCase> {};

TEST_P(CopyCoordinateTest, ThreeForms)
{
    const CopyCase& c = GetParam();
    EXPECT_EQ(CopyCoordinate(c.Axis, CopyForm::Degrees, c.Value), c.Degrees);
    EXPECT_EQ(CopyCoordinate(c.Axis, CopyForm::DegreesMinutes, c.Value), c.DegreesMinutes);
    EXPECT_EQ(CopyCoordinate(c.Axis, CopyForm::DegreesMinutesSeconds, c.Value), c.DegreesMinutesSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CopyCoordinateTest,
    testing::Values(
        CopyCase{"LatitudeNorth", CoordinateAxis::Latitude, 31.2304, "31.230400", "3113.8240", "311349.44"},
        CopyCase{"LongitudeWest", CoordinateAxis::Longitude, -70.6693, "-70.669300", "-7040.1580", "-704009.48"},
        CopyCase{"LatitudeBelowOneDegreeSouth", CoordinateAxis::Latitude, -0.5, "-0.500000", "-030.0000",
                 "-03000.00"},
        CopyCase{"LongitudeBelowOneDegreeWest", CoordinateAxis::Longitude, -0.25, "-00.250000", "-0015.0000",
                 "-001500.00"},
        CopyCase{"LongitudeZero", CoordinateAxis::Longitude, 0, "000.000000", "00000.0000", "0000000.00"},
        CopyCase{"LatitudeSouthPole", CoordinateAxis::Latitude, -90, "-90.000000", "-9000.0000", "-900000.00"},
        CopyCase{"LatitudeSecondsCarryIntoMinutes", CoordinateAxis::Latitude, 31.2, "31.200000", "3112.0000",
                 "311200.00"},
        CopyCase{"LatitudeMinutesCarryIntoDegrees", CoordinateAxis::Latitude, 31.99999999999, "32.000000",
                 "3200.0000", "320000.00"},
        CopyCase{"LongitudeTinyNegativeIsZero", CoordinateAxis::Longitude, -2e-16, "000.000000", "00000.0000",
                 "0000000.00"},
        CopyCase{"LongitudeAntimeridian", CoordinateAxis::Longitude, 180, "180.000000", "18000.0000",
                 "1800000.00"}),
    [](const testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.Name); });

struct RoundCase {
    const char* Name;
    int Decimals;
    double Value;
    double Expected;
};

class RoundToDecimalsTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundToDecimalsTest, PrintsAndReadsBack)
{
    const RoundCase& c = GetParam();
    EXPECT_DOUBLE_EQ(RoundToDecimals(c.Decimals, c.Value), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundToDecimalsTest,
    testing::Values(RoundCase{"SecondsTwoDecimals", 2, 49.4844, 49.48},
                    RoundCase{"ExactHalfRoundsToEven", 2, 0.125, 0.12},  // 0.125 is exact in binary
                    RoundCase{"NegativeCourse", 4, -12.345678, -12.3457},
                    RoundCase{"SixDecimals", 6, 31.23041234, 31.230412},
                    RoundCase{"ZeroDecimals", 0, 2.5, 2},  // printf rounds half to even on exact halves
                    RoundCase{"NegativeDecimalsMeanZero", -3, 7.7, 8},
                    RoundCase{"HugeDecimalsAreLimited", 1000, 1.5, 1.5}),
    [](const testing::TestParamInfo<RoundCase>& info) { return std::string(info.param.Name); });

TEST(SplitDegreesTest, DialogRoundTripQuantisesToShownSeconds)
{
    // 31.23041234 shows 31°13'49.48" and comes back as 31.2304111.
    const DegreeParts parts = SplitDegrees(31.23041234);
    EXPECT_EQ(parts.Degrees, 31);
    EXPECT_EQ(parts.WholeMinutes, 13);
    const double seconds = RoundToDecimals(2, parts.Seconds);
    EXPECT_DOUBLE_EQ(seconds, 49.48);
    EXPECT_NEAR(31 + 13 / 60.0 + seconds / 3600, 31.2304111, 1e-7);
}

TEST(SplitDegreesTest, ValuesNoPositionCanHaveStayWithinTheFields)
{
    EXPECT_EQ(SplitDegrees(1e300).Degrees, 1000000);
    EXPECT_EQ(SplitDegrees(-1e300).Degrees, -1000000);
    EXPECT_EQ(SplitDegrees(std::nan("")).Degrees, 0);
    EXPECT_EQ(SplitDegrees(-INFINITY).Minutes, 0);
    // The texts stay bounded as well.
    const LatLonText text = FormatLatLon(2, 1e300, -1e300);
    EXPECT_EQ(text.Latitude, "纬度  1000000°00'00.00\"");
    EXPECT_EQ(text.Longitude, "经度 -1000000°00'00.00\"");
}

TEST(SplitDegreesTest, NegativeValueKeepsSignInDegreesOnly)
{
    const DegreeParts parts = SplitDegrees(-33.8688);
    EXPECT_EQ(parts.Degrees, -33);
    EXPECT_NEAR(parts.Minutes, 52.128, 1e-9);
    EXPECT_EQ(parts.WholeMinutes, 52);
    EXPECT_NEAR(parts.Seconds, 7.68, 1e-7);
}

}  // namespace
}  // namespace tolvex
