// Every reader against files that gpsbabel wrote from one reference GPX, and every valid file
// cut at every length.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "reader_test_support.h"
#include "temp_file.h"
#include "tracks/readers/gpssim.h"
#include "tracks/readers/gpx.h"
#include "tracks/readers/kml.h"
#include "tracks/readers/trk.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

// How closely a writer keeps each quantity: lat/lon in degrees, altitude in metres, time in s.
struct Precision {
    const char* File;
    TrackReader Read;
    double Degrees;
    std::optional<double> Metres;
    std::optional<double> Seconds;
    std::vector<int> SegmentSizes;
    const char* Reference = "ref.gpx";
};

class ReferenceTrack : public ::testing::TestWithParam<Precision> {};

TEST_P(ReferenceTrack, SamePointsAsTheGpx)
{
    Settings settings;
    ChoiceHost host;
    const ReadResult reference = ReadGpxFile(DataPath + "reference/" + GetParam().Reference, {settings, host});
    const ReadResult result = GetParam().Read(DataPath + "reference/" + GetParam().File, {settings, host});
    ASSERT_TRUE(reference);
    ASSERT_TRUE(result) << result.Message.Text;
    test::ExpectSoundTrack(*result.Track);

    const auto& want = reference.Track->Points;
    const auto& got = result.Track->Points;
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].Latitude, want[i].Latitude, GetParam().Degrees) << "point " << i;
        EXPECT_NEAR(got[i].Longitude, want[i].Longitude, GetParam().Degrees) << "point " << i;
        if (GetParam().Metres) {
            // gpsbabel leaves a zero altitude out of KML.
            EXPECT_TRUE(got[i].Flags & HasAltitude || want[i].Altitude == 0) << "point " << i;
            EXPECT_NEAR(got[i].Altitude, want[i].Altitude, *GetParam().Metres) << "point " << i;
        }
        if (GetParam().Seconds) {
            EXPECT_TRUE(got[i].Flags & HasTime);
            EXPECT_NEAR(got[i].Time, want[i].Time, *GetParam().Seconds) << "point " << i;
        }
    }
    std::vector<int> sizes;
    for (const TrackSegment& s : result.Track->Segments)
        sizes.push_back(s.PointCount);
    EXPECT_EQ(sizes, GetParam().SegmentSizes);
}

INSTANTIATE_TEST_SUITE_P(
    GpsbabelFiles, ReferenceTrack,
    ::testing::Values(Precision{"ref.gpx", ReadGpxFile, 0, 0.0, 0.0, {4, 3, 3}},
                    // Feet with one decimal, day numbers with seven.
                    Precision{"ref.plt", ReadPltFile, 1e-9, 0.016, 0.005, {4, 3, 3}},
                    Precision{"ref.kml", ReadKmlFile, 1e-9, 0.005, std::nullopt, {4, 3, 3}},
                    // Minutes with five decimals; every waypoint in one segment.
                    Precision{"ref.gpssim", ReadGpssimFile, 1e-6, 0.05, std::nullopt, {10}},
                    // A track of two trksegs as a MultiGeometry, and one without altitudes
                    // whose coordinates end right after the last tuple.
                    Precision{"parts.kml", ReadKmlFile, 1e-9, 0.005, std::nullopt, {3, 2, 3}, "parts.gpx"},
                    // Both tracks turned into routes of plain rtept points.
                    Precision{"parts_route.gpx", ReadGpxFile, 1e-9, 0.0005, std::nullopt, {5, 3}, "parts.gpx"},
                    // Minutes with three decimals; no fix status, so every position is taken.
                    Precision{"ref.nmea", ReadNmeaLogFile, 1e-5, 0.0005, 0.0, {4, 3, 3}}),
    [](const ::testing::TestParamInfo<Precision>& info) {
        std::string name = info.param.File;
        for (char& c : name)
            if (c == '.')
                c = '_';
        return name;
    });

bool SamePoint(const TrackPoint& a, const TrackPoint& b)
{
    const std::uint32_t marks = SegmentStart | SegmentEnd;
    return a.Latitude == b.Latitude && a.Longitude == b.Longitude && a.Altitude == b.Altitude && a.Time == b.Time
           && (a.Flags & ~marks) == (b.Flags & ~marks);
}

enum class CutRule {
    WholeOrNothing,     // XML: only a cut after the root's end tag still loads, and loads it all
    ExactPrefix,        // binary records: an incomplete record is ignored
    PrefixAndLastLine,  // text lines: only the cut line may differ, and it stays on the globe
};

struct CutCase {
    const char* File;
    TrackReader Read;
    CutRule Rule;
};

class CutFile : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutFile, EveryLengthLoadsNoGarbage)
{
    Settings settings;
    ChoiceHost host;
    host.Answer = GpxContent::Both;
    const std::string bytes = test::ReadAll(DataPath + GetParam().File);
    const std::string extension = std::string(GetParam().File).substr(std::string(GetParam().File).rfind('.'));
    const ReadResult full = GetParam().Read(DataPath + GetParam().File, {settings, host});
    ASSERT_TRUE(full);
    const auto& all = full.Track->Points;

    test::TempFile file(extension);
    // Larger files are cut at about 2000 lengths, and at every one of their last 100.
    const std::size_t stride = std::max<std::size_t>(1, bytes.size() / 2000);
    for (std::size_t length = 0; length < bytes.size(); length += length + 100 >= bytes.size() ? 1 : stride) {
        file.Write(bytes.substr(0, length));
        const ReadResult cut = GetParam().Read(file.Path(), {settings, host});
        if (!cut)
            continue;
        test::ExpectSoundTrack(*cut.Track);
        const auto& points = cut.Track->Points;
        ASSERT_LE(points.size(), all.size()) << "length " << length;
        std::size_t exact = points.size();
        if (GetParam().Rule == CutRule::WholeOrNothing) {
            EXPECT_EQ(points.size(), all.size()) << "length " << length;
        } else if (GetParam().Rule == CutRule::PrefixAndLastLine) {
            exact = points.size() - 1;
            const TrackPoint& last = points.back();
            EXPECT_LE(std::abs(last.Latitude), 90) << "length " << length;
            EXPECT_LE(std::abs(last.Longitude), 180) << "length " << length;
        }
        for (std::size_t i = 0; i < exact; ++i)
            ASSERT_TRUE(SamePoint(points[i], all[i])) << "length " << length << " point " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ValidFiles, CutFile,
    ::testing::Values(CutCase{"reference/ref.gpx", ReadGpxFile, CutRule::WholeOrNothing},
                    CutCase{"gpx/two_trksegs.gpx", ReadGpxFile, CutRule::WholeOrNothing},
                    CutCase{"gpx/tracks_and_routes.gpx", ReadGpxFile, CutRule::WholeOrNothing},
                    CutCase{"reference/ref.kml", ReadKmlFile, CutRule::WholeOrNothing},
                    CutCase{"kml/placemarks.kml", ReadKmlFile, CutRule::WholeOrNothing},
                    CutCase{"reference/ref.gpssim", ReadGpssimFile, CutRule::PrefixAndLastLine},
                    CutCase{"gpssim/edge_cases.gpssim", ReadGpssimFile, CutRule::PrefixAndLastLine},
                    CutCase{"reference/ref.plt", ReadPltFile, CutRule::PrefixAndLastLine},
                    CutCase{"trk/sample.trk", ReadTrkFile, CutRule::ExactPrefix},
                    CutCase{"reference/ref.nmea", ReadNmeaLogFile, CutRule::PrefixAndLastLine},
                    CutCase{"nmea/multi_talker.nmea", ReadNmeaLogFile, CutRule::PrefixAndLastLine}),
    [](const ::testing::TestParamInfo<CutCase>& info) {
        std::string name = info.param.File;
        for (char& c : name)
            if (c == '/' || c == '.')
                c = '_';
        return name;
    });

struct FixtureCase {
    const char* File;
    TrackReader Read;
    std::size_t Points;  // 0: nothing loads
    const char* Message;
};

class Fixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(Fixture, LoadsOrSaysWhyNot)
{
    Settings settings;
    ChoiceHost host;
    const ReadResult result = GetParam().Read(DataPath + GetParam().File, {settings, host});
    EXPECT_EQ(result ? result.Track->Points.size() : 0u, GetParam().Points);
    EXPECT_EQ(result.Message.Text, GetParam().Message);
    if (result)
        test::ExpectSoundTrack(*result.Track);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Fixture,
    ::testing::Values(FixtureCase{"gpssim/minimal.gpssim", ReadGpssimFile, 2, ""},
                    FixtureCase{"gpssim/malformed.gpssim", ReadGpssimFile, 0, ""},
                    FixtureCase{"trk/old_version.trk", ReadTrkFile, 0, "不支持的trk文件版本"},
                    FixtureCase{"trk/bad_signature.trk", ReadTrkFile, 0, "不是有效的trk文件"},
                    FixtureCase{"trk/does_not_exist.trk", ReadTrkFile, 0, ""},
                    FixtureCase{"gpx/minimal.gpx", ReadGpxFile, 2, ""},
                    FixtureCase{"gpx/route_without_extensions.gpx", ReadGpxFile, 2, ""},
                    FixtureCase{"kml/minimal.kml", ReadKmlFile, 2, ""}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string name = info.param.File;
        for (char& c : name)
            if (c == '/' || c == '.')
                c = '_';
        return name;
    });

TEST(TruncatedFixtures, ReadWhatTheFormatAllows)
{
    Settings settings;
    ChoiceHost host;
    const ReaderContext context{settings, host};
    EXPECT_EQ(ReadGpxFile(DataPath + "gpx/truncated.gpx", context).Message.Text, "载入GPX文件失败");
    EXPECT_EQ(ReadKmlFile(DataPath + "kml/truncated.kml", context).Message.Text, "载入kml文件失败");
    const ReadResult gpssim = ReadGpssimFile(DataPath + "gpssim/truncated.gpssim", context);
    ASSERT_TRUE(gpssim);
    // Four whole waypoint lines; the cut "$FRWPT,3351.40800" has too few fields.
    EXPECT_EQ(gpssim.Track->Points.size(), 4u);
    EXPECT_DOUBLE_EQ(gpssim.Track->Points.back().Latitude, 48 + 7.215 / 60);
    const ReadResult trk = ReadTrkFile(DataPath + "trk/truncated.trk", context);
    ASSERT_TRUE(trk);
    EXPECT_EQ(trk.Track->Points.size(), 3u);  // the second block's full record is cut
}

}  // namespace
}  // namespace tolvex
