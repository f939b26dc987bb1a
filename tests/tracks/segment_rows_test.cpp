#include "tracks/segment_rows.h"

#include <gtest/gtest.h>

namespace tolvex {
namespace {

TrackPoint At(double lat, double lon, std::uint32_t flags)
{
    TrackPoint p;
    p.Latitude = lat;
    p.Longitude = lon;
    p.Flags = flags;
    return p;
}

// Three segments whose lengths are set by hand, as the rows only print them.
TrackStore ThreeSegments(const std::string& thirdName, int thirdPoints = 250)
{
    BuiltTrack t;
    auto add = [&](int count, double lat, double lon) {
        for (int i = 0; i < count; ++i)
            t.Points.push_back(At(lat + i * 1e-4, lon, i == 0 ? SegmentStart : i == count - 1 ? SegmentEnd : 0));
    };
    add(2, 10, 20);
    add(3, -33.8688, -70.6693);
    add(thirdPoints, 31.2304, 121.4737);
    t.Segments = {{1, 2, 1000, "trk: a"}, {3, 3, 250, ""}, {6, thirdPoints, 12345, thirdName}};
    TrackStore store;
    store.Install(std::move(t));
    return store;
}

TEST(SegmentRows, RowLayoutInEachFormat)
{
    const TrackStore store = ThreeSegments("trk: Morning ride");
    struct Case {
        int format;
        std::string row;
    } cases[] = {
        {0, "  3： \"trk: Morning ride\"    250点    12.3Km   起点纬度  31.230400°   起点经度  121.473700°  "},
        {1, "  3： \"trk: Morning ride\"    250点    12.3Km   起点纬度  31°13.8240'   起点经度  121°28.4220'  "},
        {2, "  3： \"trk: Morning ride\"    250点    12.3Km   起点纬度  31°13'49.44\"   起点经度  121°28'25.32\"  "},
    };
    for (const Case& c : cases) {
        const auto rows = SegmentRows(store, c.format);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[2], c.row) << c.format;
    }
    EXPECT_EQ(SegmentRows(store, 1)[1],
              "  2：       3点     0.2Km   起点纬度 -33°52.1280'   起点经度 -070°40.1580'  ");
}

TEST(SegmentRows, ReversedRowsAreRenumberedAndUnnamed)
{
    TrackStore store = ThreeSegments("trk: x");
    store.SetReversed(true);
    const auto rows = SegmentRows(store, 0);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rfind("  1：     250点    12.3Km   起点纬度  31.255300°", 0), 0u) << rows[0];
    EXPECT_EQ(rows[2].rfind("  3：       2点     1.0Km   起点纬度  10.000100°", 0), 0u) << rows[2];
}

TEST(SegmentRows, LongRowsAreCutToOneHundredCharacters)
{
    const TrackStore store = ThreeSegments("trk: " + std::string(60, 'n') + "长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长");
    const std::string row = SegmentRows(store, 0)[2];
    std::size_t characters = 0;
    for (unsigned char c : row)
        characters += (c & 0xC0) != 0x80;
    EXPECT_EQ(characters, 100u);
    EXPECT_EQ(row.substr(row.size() - 3), "长");  // never cut inside a character
}

TEST(SegmentRows, SummaryAndTotals)
{
    BuiltTrack t;
    for (int i = 0; i < 400; ++i)
        t.Points.push_back(At(0, i * 1e-5, i == 0 || i == 100 ? SegmentStart : i == 99 || i == 399 ? SegmentEnd : 0));
    t.Segments = {{1, 100, 1250, ""}, {101, 300, 2500, ""}};
    TrackStore store;
    store.Install(std::move(t));
    EXPECT_EQ(SegmentSummary(store), "2段航迹，共400点，3.8Km");
    EXPECT_EQ(SegmentTotals(store), "（共2段，400点，3.8Km）");
}

}  // namespace
}  // namespace tolvex
