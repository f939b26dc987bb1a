#pragma once
// Shared by the GPX, KML, .gpssim and .trk reader tests: a host that answers the GPX question
// from a script, and the checks every built track must pass.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "testing/fakes.h"
#include "tracks/reader.h"

namespace tolvex::test {

inline const std::string DataPath = std::string(TOLVEX_TEST_DATA) + "/";

class ChoiceHost : public testing::RecordingHost {
public:
    std::optional<GpxContent> ChooseGpxContent(int tracks, int routes) override
    {
        ++Asked;
        AskedTracks = tracks;
        AskedRoutes = routes;
        return Answer;
    }
    std::optional<GpxContent> Answer = GpxContent::Tracks;
    int Asked = 0;
    int AskedTracks = -1;
    int AskedRoutes = -1;
};

// The invariants of a built track: contiguous segments from point 1, marks on their ends,
// and only finite, on-the-globe positions.
inline void ExpectSoundTrack(const BuiltTrack& track)
{
    int next = 1;
    for (const TrackSegment& s : track.Segments) {
        EXPECT_EQ(s.FirstPoint, next);
        ASSERT_GE(s.PointCount, 2);
        ASSERT_LE(static_cast<std::size_t>(s.FirstPoint - 1 + s.PointCount), track.Points.size());
        EXPECT_TRUE(track.Points[static_cast<std::size_t>(s.FirstPoint - 1)].Flags & SegmentStart);
        EXPECT_TRUE(track.Points[static_cast<std::size_t>(s.FirstPoint - 2 + s.PointCount)].Flags & SegmentEnd);
        next += s.PointCount;
    }
    EXPECT_EQ(static_cast<std::size_t>(next - 1), track.Points.size());
    for (const TrackPoint& p : track.Points) {
        EXPECT_TRUE(std::isfinite(p.Latitude) && std::isfinite(p.Longitude) && std::isfinite(p.Altitude));
        EXPECT_TRUE(std::isfinite(p.Time));
    }
}

}  // namespace tolvex::test
