#include "tracks/track_store.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/geodesy.h"

namespace tolvex {
namespace {

TrackPoint Pt(double lat, double lon, double time = 0, std::uint32_t flags = 0)
{
    TrackPoint p;
    p.Latitude = lat;
    p.Longitude = lon;
    p.Time = time;
    p.Flags = flags;
    return p;
}

// Points 0.001 degrees of latitude apart (about 111 m) along a meridian.
void AddRun(SegmentBuilder& b, int count, double startLat = 0)
{
    for (int i = 0; i < count; ++i)
        b.AddTrackPoint(Pt(startLat + i * 0.001, 10, 0, i == 0 ? SegmentStart : 0));
}

TEST(PathLength, SumsLegsAndIsZeroBelowTwoPoints)
{
    std::vector<TrackPoint> pts = {Pt(0, 0), Pt(0.001, 0), Pt(0.001, 0.001)};
    EXPECT_EQ(PathLength(std::span(pts).first(0)), 0);
    EXPECT_EQ(PathLength(std::span(pts).first(1)), 0);
    const double expected = GeoDistance(0, 0, 0.001, 0) + GeoDistance(0.001, 0, 0.001, 0.001);
    EXPECT_DOUBLE_EQ(PathLength(pts), expected);
}

struct FilterCase {
    const char* name;
    int minPoints;
    double minLength;  // in units of the first segment's exact length when negative
    int points;
    bool accepted;
};

class SegmentFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(SegmentFilter, AcceptsOrRejects)
{
    const FilterCase& c = GetParam();
    std::vector<TrackPoint> probe;
    for (int i = 0; i < c.points; ++i)
        probe.push_back(Pt(i * 0.001, 10));
    const double length = c.minLength < 0 ? PathLength(probe) * -c.minLength : c.minLength;
    SegmentBuilder b(c.minPoints, length);
    AddRun(b, c.points);
    EXPECT_EQ(b.CloseSegment(), c.accepted);
    EXPECT_EQ(b.SegmentCount(), c.accepted ? 1 : 0);
    EXPECT_EQ(b.PointCount(), c.accepted ? c.points : 0);
    EXPECT_EQ(b.OpenPointCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SegmentFilter,
                         ::testing::Values(FilterCase{"ExactlyMinPoints", 3, 0, 3, true},
                                         FilterCase{"OneBelowMinPoints", 3, 0, 2, false},
                                         FilterCase{"MinPointsZeroActsAsTwo", 0, 0, 1, false},
                                         FilterCase{"MinPointsOneActsAsTwo", 1, 0, 1, false},
                                         FilterCase{"TwoPointsWithMinZero", 0, 0, 2, true},
                                         FilterCase{"LengthExactlyMin", 2, -1.0, 4, true},
                                         FilterCase{"LengthJustBelowMin", 2, -1.000001, 4, false},
                                         FilterCase{"EmptySegment", 2, 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentBuilder, RejectedSegmentLeavesNoGapInNumbering)
{
    SegmentBuilder b(2, 0);
    AddRun(b, 3);
    ASSERT_TRUE(b.CloseSegment("a"));
    AddRun(b, 1, 1);
    ASSERT_FALSE(b.CloseSegment("b"));
    AddRun(b, 4, 2);
    auto track = b.CommitTrack();
    ASSERT_TRUE(track);
    ASSERT_EQ(track->Points.size(), 7u);
    ASSERT_EQ(track->Segments.size(), 2u);
    EXPECT_EQ(track->Segments[0].FirstPoint, 1);
    EXPECT_EQ(track->Segments[0].PointCount, 3);
    EXPECT_EQ(track->Segments[0].Name, "a");
    EXPECT_EQ(track->Segments[1].FirstPoint, 4);
    EXPECT_EQ(track->Segments[1].PointCount, 4);
    EXPECT_EQ(track->Segments[1].Name, "");  // the commit closes the open segment unnamed
    EXPECT_TRUE(track->Points[2].Flags & SegmentEnd);
    EXPECT_TRUE(track->Points[3].Flags & SegmentStart);
    EXPECT_TRUE(track->Points[6].Flags & SegmentEnd);
    EXPECT_DOUBLE_EQ(track->Segments[1].Length, PathLength(std::span(track->Points).subspan(3)));
}

// A reserved list large enough to be faulted in ahead of the points, filled past its reservation
// (the list moves) and beyond: every point arrives, in order.
TEST(SegmentBuilder, LargeReservedListKeepsEveryPointWhenItGrows)
{
    constexpr int Reserved = 200000, Added = 450000;
    SegmentBuilder b(2, 0);
    b.Reserve(Reserved);
    for (int i = 0; i < Added; ++i) b.AddTrackPoint(Pt(i * 1e-4, 10, i, i == 0 ? SegmentStart : 0));
    auto track = b.CommitTrack();
    ASSERT_TRUE(track);
    ASSERT_EQ(track->Points.size(), static_cast<std::size_t>(Added));
    for (int i : {0, Reserved - 1, Reserved, Added - 1}) EXPECT_EQ(track->Points[static_cast<std::size_t>(i)].Time, i);
}

TEST(SegmentBuilder, PointsOffTheGlobeAreCountedAndTheirMarksPassOn)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case {
        const char* name;
        std::vector<TrackPoint> points;  // one group: first SegmentStart, last SegmentEnd
        std::vector<std::uint32_t> marks;  // of the points kept
    } cases[] = {
        {"bounds are on the globe", {Pt(-90, -180, 0, SegmentStart), Pt(90, 180, 0, SegmentEnd)},
         {SegmentStart, SegmentEnd}},
        {"bad first", {Pt(nan, 0, 0, SegmentStart), Pt(1, 0), Pt(2, 0), Pt(3, 0, 0, SegmentEnd)},
         {SegmentStart, 0, SegmentEnd}},
        {"bad last", {Pt(0, 0, 0, SegmentStart), Pt(1, 0), Pt(2, 0), Pt(0, 180.5, 0, SegmentEnd)},
         {SegmentStart, 0, SegmentEnd}},
        {"two good left", {Pt(0, 0, 0, SegmentStart), Pt(90.1, 0), Pt(1, 0), Pt(inf, 0, 0, SegmentEnd)},
         {SegmentStart, SegmentEnd}},
        {"infinite time", {Pt(0, 0, 0, SegmentStart), Pt(1, 0, inf, HasTime), Pt(2, 0, 0, SegmentEnd)},
         {SegmentStart, SegmentEnd}},
    };
    for (const Case& c : cases) {
        SegmentBuilder b(2, 0);
        AddRun(b, 2, 10);  // an earlier group keeps its own marks
        for (const TrackPoint& p : c.points) b.AddTrackPoint(p);
        const auto track = b.CommitTrack();
        ASSERT_TRUE(track) << c.name;
        EXPECT_EQ(track->SkippedPoints, static_cast<int>(c.points.size() - c.marks.size())) << c.name;
        ASSERT_EQ(track->Points.size(), c.marks.size() + 2) << c.name;
        for (std::size_t i = 0; i < c.marks.size(); ++i)
            EXPECT_EQ(track->Points[i + 2].Flags & (SegmentStart | SegmentEnd), c.marks[i]) << c.name << " point " << i;
    }
}

TEST(SegmentBuilder, CommitWithNothingAcceptedGivesNothing)
{
    SegmentBuilder b(5, 0);
    AddRun(b, 3);
    b.CloseSegment();
    AddRun(b, 4);
    EXPECT_FALSE(b.CommitTrack());
    SegmentBuilder empty(2, 0);
    EXPECT_FALSE(empty.CommitTrack());
}

TEST(ReversedPoint, SwapsMarksAndNegatesTime)
{
    struct Case {
        std::uint32_t in, out;
    } cases[] = {
        {SegmentStart | HasTime, SegmentEnd | HasTime},
        {SegmentEnd | HasAltitude, SegmentStart | HasAltitude},
        {SegmentStart | SegmentEnd, SegmentEnd},
        {0, 0},
    };
    for (const Case& c : cases) {
        const TrackPoint r = ReversedPoint(Pt(1, 2, 100, c.in));
        EXPECT_EQ(r.Flags, c.out) << c.in;
        EXPECT_EQ(r.Time, -100);
        EXPECT_EQ(r.Latitude, 1);
    }
}

BuiltTrack EightPoints()
{
    SegmentBuilder b(2, 0);
    for (int i = 0; i < 8; ++i) {
        if (i == 5)
            b.CloseSegment("first");
        b.AddTrackPoint(Pt(i * 0.001, 0, 100 + 60 * i, HasTime | (i == 0 || i == 5 ? SegmentStart : 0)));
    }
    b.CloseSegment("second");
    return *b.CommitTrack();
}

TEST(TrackStore, InstallBuildsReversedCopies)
{
    TrackStore store;
    EXPECT_FALSE(store.Loaded());
    store.Install(EightPoints());
    ASSERT_TRUE(store.Loaded());
    EXPECT_EQ(store.PointCountTotal(), 8);
    EXPECT_EQ(store.SegmentCountTotal(), 2);

    auto rs = store.ReversedSegments();
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(rs[0].FirstPoint, 1);
    EXPECT_EQ(rs[0].PointCount, 3);
    EXPECT_EQ(rs[1].FirstPoint, 4);
    EXPECT_EQ(rs[1].PointCount, 5);
    EXPECT_TRUE(rs[0].Name.empty());
    EXPECT_TRUE(rs[1].Name.empty());
    EXPECT_EQ(rs[0].Length, store.ForwardSegments()[1].Length);

    auto rp = store.ReversedPoints();
    EXPECT_EQ(rp[0].Time, -(100 + 60 * 7));
    EXPECT_EQ(rp[1].Time, -(100 + 60 * 6));
    EXPECT_LT(rp[0].Time, rp[7].Time);
    // Invariant 3 in the reversed direction.
    for (const TrackSegment& s : rs) {
        EXPECT_TRUE(rp[s.FirstPoint - 1].Flags & SegmentStart);
        EXPECT_TRUE(rp[s.FirstPoint + s.PointCount - 2].Flags & SegmentEnd);
    }
}

TEST(TrackStore, ActiveDirectionSurvivesNewLoad)
{
    TrackStore store;
    store.SetReversed(true);
    store.Install(EightPoints());
    EXPECT_EQ(store.ActivePoints().data(), store.ReversedPoints().data());
    EXPECT_EQ(store.ActivePoints()[0].Latitude, store.ForwardPoints()[7].Latitude);
    store.SetReversed(false);
    EXPECT_EQ(store.ActiveSegments()[0].Name, "first");
}

TEST(TrackStore, PositionalAccessChecksBounds)
{
    TrackStore store;
    EXPECT_EQ(store.PointAt(0), nullptr);
    store.Install(EightPoints());
    EXPECT_NE(store.PointAt(0), nullptr);
    EXPECT_NE(store.PointAt(7), nullptr);
    EXPECT_EQ(store.PointAt(8), nullptr);
    EXPECT_EQ(store.PointAt(-1), nullptr);
    EXPECT_EQ(store.SegmentAt(0), nullptr);
    EXPECT_EQ(store.SegmentAt(3), nullptr);
    ASSERT_NE(store.SegmentAt(2), nullptr);
    EXPECT_EQ(store.SegmentAt(2)->FirstPoint, 6);
}

}  // namespace
}  // namespace tolvex
