#include <gtest/gtest.h>

#include "testing/fakes.h"
#include "temp_file.h"
#include "tracks/reader.h"

namespace tolvex {
namespace {

using FakeHost = testing::RecordingHost;
using test::TempFile;

const std::string DataDir = std::string(TOLVEX_TEST_DATA) + "/plt/";
const std::string Header = "OziExplorer Track Point File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
                           "0,2,255,Track,0,0,2,8421376\n0\n";

class PltReader : public ::testing::Test {
protected:
    ReadResult Read(const std::string& path) { return ReadPltFile(path, ReaderContext{settings, host}); }
    ReadResult ReadText(const std::string& text)
    {
        TempFile file(".plt", text);
        return Read(file.Path());
    }

    Settings settings;
    FakeHost host;
};

TEST_F(PltReader, ReadsFieldsWithUnits)
{
    const ReadResult result = Read(DataDir + "minimal.plt");
    ASSERT_TRUE(result);
    const auto& points = result.Track->Points;
    ASSERT_EQ(points.size(), 4u);
    ASSERT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_DOUBLE_EQ(points[0].Latitude, 48.1);
    EXPECT_DOUBLE_EQ(points[0].Longitude, 11.5);
    EXPECT_DOUBLE_EQ(points[0].Altitude, 457.2);
    EXPECT_DOUBLE_EQ(points[0].Time, 1255262400);  // 2009-10-11 12:00:00 UTC
    EXPECT_EQ(points[0].Flags, SegmentStart | HasAltitude | HasTime);  // the break flag of line 1 is ignored
    EXPECT_NEAR(points[1].Time, 1255262401, 0.01);
    EXPECT_EQ(points[2].Altitude, 0);  // -777: no altitude
    EXPECT_EQ(points[2].Flags, HasTime);
    EXPECT_EQ(points[3].Flags, SegmentEnd | HasAltitude | HasTime);
    EXPECT_TRUE(result.Track->Segments[0].Name.empty());
    EXPECT_TRUE(host.Messages.empty());
}

TEST_F(PltReader, EdgeCasesFile)
{
    // Comments, blanks, a two-field line, a one-point segment dropped between two breaks and
    // fields that are no numbers.
    const ReadResult result = Read(DataDir + "edge_cases.plt");
    ASSERT_TRUE(result);
    const auto& points = result.Track->Points;
    const auto& segments = result.Track->Segments;
    ASSERT_EQ(points.size(), 5u);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].FirstPoint, 1);
    EXPECT_EQ(segments[0].PointCount, 2);
    EXPECT_EQ(segments[1].FirstPoint, 3);
    EXPECT_EQ(segments[1].PointCount, 3);
    EXPECT_EQ(points[1].Flags, SegmentEnd);  // two fields: no altitude, no time
    EXPECT_EQ(points[1].Altitude, 0);
    EXPECT_DOUBLE_EQ(points[2].Latitude, 50.0);  // 49,12 was alone and is gone
    EXPECT_TRUE(points[2].Flags & SegmentStart);
    EXPECT_EQ(points[3].Altitude, 0);
    EXPECT_EQ(points[3].Flags, HasAltitude | HasTime);
    EXPECT_DOUBLE_EQ(points[3].Time, -2209161600);
    EXPECT_DOUBLE_EQ(points[4].Altitude, 70 * 0.3048);
}

TEST_F(PltReader, GpsbabelTrackWithoutTimesOrAltitudes)
{
    // "-777.0" feet and empty day numbers: points without altitude and time, not -236.8 m at
    // 1899-12-30.
    const ReadResult result = Read(DataDir + "gpsbabel_no_times.plt");
    ASSERT_TRUE(result);
    const auto& points = result.Track->Points;
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[2].Latitude, -33.85825);
    for (const TrackPoint& p : points) {
        EXPECT_EQ(p.Flags & (HasAltitude | HasTime), 0u);
        EXPECT_EQ(p.Altitude, 0);
        EXPECT_EQ(p.Time, 0);
    }
}

TEST_F(PltReader, FailuresAndTheirMessages)
{
    struct Case {
        const char* name;
        std::string path;
        std::string message;
    } cases[] = {
        {"header only", DataDir + "header_only.plt", ""},
        {"fewer than six lines", DataDir + "truncated_header.plt",
         "不是有效的OZI plt文件：\n" + DataDir + "truncated_header.plt"},
        {"missing file", DataDir + "no_such_file.plt", ""},
    };
    for (const Case& c : cases) {
        const ReadResult result = Read(c.path);
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(result.Message.Text, c.message) << c.name;
        EXPECT_EQ(result.Message.Caption, "错误") << c.name;
    }
}

TEST_F(PltReader, SegmentFilterFromSettings)
{
    const std::string body = "0,0,0\n0,0.001,0\n0,0.002,0\n1,0,1\n1,0.0001,0\n";
    settings.MinTrackPoints = 3;
    ReadResult result = ReadText(Header + body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_EQ(result.Track->Points.size(), 3u);

    settings.MinTrackPoints = 2;
    settings.MinTrackLength = 50;  // the second segment is about 11 m long
    result = ReadText(Header + body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments.size(), 1u);

    settings.MinTrackLength = 1e6;
    result = ReadText(Header + body);
    EXPECT_FALSE(result);
    EXPECT_TRUE(result.Message.Text.empty());
}

TEST_F(PltReader, Utf16FileReadsLikeUtf8)
{
    const std::string text = Header + "48.1,11.5,0,1500,40097.5\n48.2,11.6\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    const ReadResult a = ReadText(text);
    const ReadResult b = ReadText(utf16);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    ASSERT_EQ(b.Track->Points.size(), 2u);
    EXPECT_DOUBLE_EQ(b.Track->Points[0].Time, a.Track->Points[0].Time);
    EXPECT_DOUBLE_EQ(b.Track->Points[1].Longitude, 11.6);
}

// Cut the file at every length: never a crash, and every point read is a point of the whole file
// (only the last one may be cut inside a number).
TEST_F(PltReader, EveryTruncationReadsAPrefix)
{
    const std::string whole = test::ReadAll(DataDir + "minimal.plt");
    const ReadResult full = Read(DataDir + "minimal.plt");
    ASSERT_TRUE(full);
    for (std::size_t n = 0; n <= whole.size(); ++n) {
        const ReadResult cut = ReadText(whole.substr(0, n));
        if (!cut)
            continue;
        const auto& points = cut.Track->Points;
        ASSERT_LE(points.size(), full.Track->Points.size()) << n;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            EXPECT_EQ(points[i].Latitude, full.Track->Points[i].Latitude) << n;
            EXPECT_EQ(points[i].Longitude, full.Track->Points[i].Longitude) << n;
            EXPECT_EQ(points[i].Time, full.Track->Points[i].Time) << n;
        }
    }
}

}  // namespace
}  // namespace tolvex
