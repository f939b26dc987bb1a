#include "sim/geodesy.h"

#include <gtest/gtest.h>

namespace tolvex {
namespace {

struct DistanceCase {
    const char* Name;
    double Lat1, Lon1, Lat2, Lon2, Metres;
};

class GeoDistanceTest : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(GeoDistanceTest, GivesTheFlatEarthFigure)
{
    const auto& c = GetParam();
    EXPECT_NEAR(GeoDistance(c.Lat1, c.Lon1, c.Lat2, c.Lon2), c.Metres, 0.01) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Figures, GeoDistanceTest,
    ::testing::Values(DistanceCase{"one degree east on the equator", 0, 0, 0, 1, 111319.49},
                      DistanceCase{"one degree north from the equator", 0, 0, 1, 0, 111319.46},
                      DistanceCase{"one degree east at 60 north", 60, 0, 60, 1, 55519.61},
                      DistanceCase{"same point", 12, 34, 12, 34, 0},
                      DistanceCase{"mean latitude beyond the pole limit", 89.99995, 0, 89.99995, 10, 0},
                      DistanceCase{"south pole limit", -89.99995, 0, -89.99995, 10, 0}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(GeoDistance, ComputesExactlyAtThePoleLimitAndDoesNotWrapTheAntimeridian)
{
    EXPECT_GT(GeoDistance(89.9999, 0, 89.9999, 10), 0);
    // 179.9 and -179.9 lie 359.8 degrees apart for this model.
    EXPECT_NEAR(GeoDistance(0, 179.9, 0, -179.9), 359.8 * 111319.49, 1.0);
}

struct BearingCase {
    double Lat1, Lon1, Lat2, Lon2, Degrees;
    bool Valid;
};

class GeoBearingTest : public ::testing::TestWithParam<BearingCase> {};

TEST_P(GeoBearingTest, GivesTheCourseAndValidity)
{
    const auto& c = GetParam();
    bool valid = !c.Valid;
    EXPECT_NEAR(GeoBearing(c.Lat1, c.Lon1, c.Lat2, c.Lon2, &valid), c.Degrees, 0.001);
    EXPECT_EQ(valid, c.Valid);
}

INSTANTIATE_TEST_SUITE_P(Figures, GeoBearingTest,
                         ::testing::Values(BearingCase{0, 0, 1, 1, 45.096, true},
                                           BearingCase{0, 0, -1, -1, 225.096, true},
                                           BearingCase{0, 0, -1, 1, 134.904, true},
                                           BearingCase{10, 0, 10, 5, 90, true},
                                           BearingCase{10, 5, 10, 0, 270, true},
                                           BearingCase{3, 3, 3, 3, 0, false},
                                           BearingCase{0, 0, 1, 0, 0, true},
                                           BearingCase{1, 0, 0, 0, 180, true},
                                           // across ±180 the long way round: due west
                                           BearingCase{0, 179.9, 0, -179.9, 270, true}));

TEST(GeoBearing, AcceptsNoValidFlag) { EXPECT_NEAR(GeoBearing(0, 0, 1, 1), 45.096, 0.001); }

TEST(OffsetPoint, ZeroDistanceKeepsTheBasePointAndDirectionsGoTheRightWay)
{
    for (double direction : {0.0, 45.0, 271.0, -30.0}) {
        const GeoPoint p = OffsetPoint(12.5, -45.25, direction, 0);
        EXPECT_EQ(p.Latitude, 12.5);
        EXPECT_EQ(p.Longitude, -45.25);
    }
    const GeoPoint north = OffsetPoint(0, 0, 0, 1000);
    EXPECT_NEAR(north.Latitude, 1000 / (PolarRadius * DegToRad), 1e-12);
    EXPECT_NEAR(north.Longitude, 0, 1e-12);
    const GeoPoint west = OffsetPoint(0, 0, 90, -1000);
    EXPECT_NEAR(west.Longitude, -1000 / (EquatorialRadius * DegToRad), 1e-12);
    // The distance back is what was asked for.
    const GeoPoint p = OffsetPoint(45, 7, 30, 500);
    EXPECT_NEAR(GeoDistance(45, 7, p.Latitude, p.Longitude), 500, 1.0);
}

}  // namespace
}  // namespace tolvex
