#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "reader_test_support.h"
#include "temp_file.h"
#include "tracks/readers/gpx.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

struct IsoTimeCase {
    const char* Name;
    const char* Text;
    std::optional<double> Seconds;
};

class IsoTime : public ::testing::TestWithParam<IsoTimeCase> {};

TEST_P(IsoTime, Parses)
{
    const std::optional<double> got = ParseIsoTime(GetParam().Text);
    ASSERT_EQ(got.has_value(), GetParam().Seconds.has_value());
    if (got) {
        EXPECT_EQ(*got, *GetParam().Seconds);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IsoTime,
    ::testing::Values(IsoTimeCase{"Utc", "2009-10-11T12:00:00Z", 1255262400},
                    IsoTimeCase{"Fraction", "2009-10-11T12:00:00.25Z", 1255262400.25},
                    IsoTimeCase{"ZoneIgnored", "2009-10-11T12:00:00+08:00", 1255262400},
                    IsoTimeCase{"NoZone", "2009-10-11T12:00:07", 1255262407},
                    IsoTimeCase{"FractionRoundsToMilliseconds", "2009-10-11T12:00:01.0004", 1255262401},
                    IsoTimeCase{"FractionRoundsUpToNextSecond", "2009-10-11T12:00:00.9996Z", 1255262401},
                    IsoTimeCase{"BlanksBeforeNumbers", " 2009- 10- 11T 12: 00:00Z", 1255262400},
                    IsoTimeCase{"EmptySecondsReadAsZero", "2009-10-11T12:00:", 1255262400},
                    IsoTimeCase{"OneDigitSeconds", "2009-10-11T12:00:7Z", 1255262407},
                    IsoTimeCase{"SecondsWithExponent", "2009-10-11T12:00:01e1Z", 1255262410},
                    IsoTimeCase{"WideYear", "02009-10-11T12:00:00Z", 1255262400},
                    IsoTimeCase{"LeapDay", "2008-02-29T00:00:00Z", 1204243200},
                    IsoTimeCase{"BeforeEpoch", "1969-12-31T23:59:59Z", -1},
                    IsoTimeCase{"NoSeconds", "2009-10-11T12:00", std::nullopt},
                    IsoTimeCase{"BlankForT", "2009-10-11 12:00:00Z", std::nullopt},
                    IsoTimeCase{"TabBeforeYear", "\t2009-10-11T12:00:00Z", std::nullopt},
                    IsoTimeCase{"SignedYear", "+2009-10-11T12:00:00Z", std::nullopt},
                    IsoTimeCase{"NoLeapDay", "2009-02-29T00:00:00Z", std::nullopt},
                    IsoTimeCase{"Month13", "2009-13-01T00:00:00Z", std::nullopt},
                    IsoTimeCase{"Day0", "2009-10-00T00:00:00Z", std::nullopt},
                    IsoTimeCase{"Hour24", "2009-10-11T24:00:00Z", std::nullopt},
                    IsoTimeCase{"Second60", "2009-10-11T12:00:60Z", std::nullopt},
                    IsoTimeCase{"NegativeSeconds", "2009-10-11T12:00:-1Z", std::nullopt},
                    IsoTimeCase{"Empty", "", std::nullopt}),
    [](const ::testing::TestParamInfo<IsoTimeCase>& info) { return std::string(info.param.Name); });

TEST(LatLonAttributes, MissingOrUnreadableValuesGiveNothing)
{
    struct Case {
        std::vector<XmlAttribute> Attributes;
        std::optional<double> Latitude, Longitude;
    };
    const std::vector<Case> cases = {
        {{{"lat", "48.5"}, {"lon", "-11.25"}}, 48.5, -11.25},
        {{{"lon", "11"}, {"ele", "3"}, {"lat", " 48.5x"}}, 48.5, 11},
        {{{"lat", ".5"}, {"lon", "-.5"}}, 0.5, -0.5},
        {{{"lat", "90"}, {"lon", "-180"}}, 90, -180},
        {{{"lat", "48.5"}}, std::nullopt, std::nullopt},
        {{{"lon", "11"}}, std::nullopt, std::nullopt},
        {{{"lat", ""}, {"lon", "11"}}, std::nullopt, std::nullopt},
        {{{"lat", "north"}, {"lon", "11"}}, std::nullopt, std::nullopt},
        {{{"lat", "1e999"}, {"lon", "11"}}, HUGE_VAL, 11},
        {{{"LAT", "1"}, {"lon", "11"}}, std::nullopt, std::nullopt},
        {{{"lat", "1"}, {"lon", "+."}}, std::nullopt, std::nullopt},
        {{{"lat", "\v+.5e1"}, {"lon", "2."}}, 5, 2},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::optional<LatLon> got = ReadLatLonAttributes(cases[i].Attributes);
        ASSERT_EQ(got.has_value(), cases[i].Latitude.has_value()) << "case " << i;
        if (got) {
            EXPECT_EQ(got->Latitude, *cases[i].Latitude) << "case " << i;
            EXPECT_EQ(got->Longitude, *cases[i].Longitude) << "case " << i;
        }
    }
}

class GpxReader : public ::testing::Test {
protected:
    ReadResult Read(const std::string& name) { return ReadGpxFile(DataPath + "gpx/" + name, {settings, host}); }

    Settings settings;
    ChoiceHost host;
};

TEST_F(GpxReader, MinimalTrack)
{
    const ReadResult result = Read("minimal.gpx");
    ASSERT_TRUE(result);
    const BuiltTrack& track = *result.Track;
    ASSERT_EQ(track.Points.size(), 2u);
    ASSERT_EQ(track.Segments.size(), 1u);
    EXPECT_EQ(track.Segments[0].Name, "");
    EXPECT_EQ(track.Points[0].Latitude, 48.1);
    EXPECT_EQ(track.Points[1].Longitude, 11.6);
    EXPECT_EQ(track.Points[0].Flags, SegmentStart);
    EXPECT_EQ(track.Points[1].Flags, SegmentEnd);
    EXPECT_EQ(host.Asked, 0);
}

TEST_F(GpxReader, TrksegsFormOneSegmentWithInnerStartEndPairs)
{
    const ReadResult result = Read("two_trksegs.gpx");
    ASSERT_TRUE(result);
    const BuiltTrack& track = *result.Track;
    ASSERT_EQ(track.Points.size(), 7u);
    ASSERT_EQ(track.Segments.size(), 1u);
    EXPECT_EQ(track.Segments[0].Name, "trk: Two & halves");  // <NAME> matches without regard to case
    const std::vector<std::uint32_t> flags = {SegmentStart | HasAltitude | HasTime,
                                              HasAltitude | HasTime,
                                              SegmentEnd | HasTime,
                                              SegmentStart,
                                              HasAltitude,
                                              0,
                                              SegmentEnd};
    for (std::size_t i = 0; i < flags.size(); ++i)
        EXPECT_EQ(track.Points[i].Flags, flags[i]) << "point " << i + 1;
    EXPECT_EQ(track.Points[0].Altitude, 500);
    EXPECT_EQ(track.Points[0].Time, 1255262400);
    EXPECT_EQ(track.Points[1].Altitude, 501.5);
    EXPECT_EQ(track.Points[1].Time, 1255262400.25);
    EXPECT_EQ(track.Points[2].Time, 1255291201);  // "+08:00" ignored: the clock reading is taken as UTC
    EXPECT_EQ(track.Points[3].Time, 0);
    EXPECT_EQ(track.Points[4].Altitude, 503);
    EXPECT_EQ(track.Points[6].Latitude, 48.1006);
}

TEST_F(GpxReader, TracksAndRoutesAskWhatToLoad)
{
    struct Case {
        std::optional<GpxContent> Answer;
        std::vector<std::string> Names;
        std::size_t Points;
    };
    const std::vector<Case> cases = {
        {GpxContent::Tracks, {"trk: First", ""}, 4},
        {GpxContent::Routes, {"rte: Ring", "rte: Plain"}, 6},  // "Plain" has no detailed points: its rtepts
        {GpxContent::Both, {"trk: First", "", "rte: Ring", "rte: Plain"}, 10},
    };
    for (const Case& c : cases) {
        ChoiceHost asked;
        asked.Answer = c.Answer;
        const ReadResult result = ReadGpxFile(DataPath + "gpx/tracks_and_routes.gpx", {settings, asked});
        ASSERT_TRUE(result);
        EXPECT_EQ(asked.Asked, 1);
        EXPECT_EQ(asked.AskedTracks, 2);
        EXPECT_EQ(asked.AskedRoutes, 2);
        std::vector<std::string> names;
        for (const TrackSegment& s : result.Track->Segments)
            names.push_back(s.Name);
        EXPECT_EQ(names, c.Names);
        EXPECT_EQ(result.Track->Points.size(), c.Points);
        test::ExpectSoundTrack(*result.Track);
    }
}

TEST_F(GpxReader, DetailedRoutePointsGroupByExtension)
{
    host.Answer = GpxContent::Routes;
    const ReadResult result = Read("tracks_and_routes.gpx");
    ASSERT_TRUE(result);
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0].Latitude, 10.0);
    EXPECT_EQ(p[3].Longitude, 20.3);  // gpxx:RPT is not gpxx:rpt
    EXPECT_EQ(p[0].Flags, SegmentStart);
    EXPECT_EQ(p[1].Flags, SegmentEnd);
    EXPECT_EQ(p[2].Flags, SegmentStart);
    EXPECT_EQ(p[3].Flags, SegmentEnd);
    // "Ring"'s own rtepts are not read; "Plain" has nothing else.
    EXPECT_EQ(p[4].Latitude, 3.0);
    EXPECT_EQ(p[4].Flags, SegmentStart);
    EXPECT_EQ(p[5].Flags, SegmentEnd);
}

TEST_F(GpxReader, CancelEndsSilently)
{
    host.Answer = std::nullopt;
    const ReadResult result = Read("tracks_and_routes.gpx");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Message.Text, "");
}

TEST_F(GpxReader, RoutesOnlyLoadWithoutAsking)
{
    const ReadResult result = Read("routes_only.gpx");
    ASSERT_TRUE(result);
    EXPECT_EQ(host.Asked, 0);
    ASSERT_EQ(result.Track->Segments.size(), 3u);
    EXPECT_EQ(result.Track->Segments[2].Name, "rte: C");
    EXPECT_EQ(result.Track->Points[5].Latitude, 3.1);
}

TEST_F(GpxReader, PointsWithoutPositionAreSkipped)
{
    const ReadResult result = Read("missing_lat_lon.gpx");
    ASSERT_TRUE(result);
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].Latitude, 48.0);
    EXPECT_EQ(p[1].Latitude, 48.2);
    EXPECT_EQ(p[2].Latitude, 48.4);
    EXPECT_EQ(p[0].Flags, SegmentStart);
    EXPECT_EQ(p[1].Flags, 0u);
    EXPECT_EQ(p[2].Flags, SegmentEnd);
}

TEST_F(GpxReader, FailuresAndTheirMessages)
{
    struct Case {
        const char* File;
        const char* Message;
    };
    const std::vector<Case> cases = {
        {"malformed.gpx", "载入GPX文件失败"},
        {"does_not_exist.gpx", "载入GPX文件失败"},
        {"billion_laughs.gpx", "载入GPX文件失败"},
        {"external_entity.gpx", "载入GPX文件失败"},
        {"no_tracks.gpx", "GPX文件内未找到航迹或航线"},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const ReadResult result = Read(c.File);
        EXPECT_FALSE(result) << c.File;
        EXPECT_EQ(result.Message.Text, c.Message) << c.File;
        EXPECT_EQ(result.Message.Caption, "错误");
        // Refused up front, not after expanding anything.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.File;
    }
}

TEST_F(GpxReader, DoctypeCdataAndReferences)
{
    ReadResult result = Read("doctype_unused.gpx");
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments[0].Name, "trk: Raw <name>");

    result = Read("crlf_references.gpx");
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments[0].Name, "trk: CRLF \xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(result.Track->Points[0].Time, 1255262400);  // the text around the time is trimmed
}

TEST_F(GpxReader, NamesInTheDeclaredEncodingBecomeUtf8)
{
    const ReadResult result = Read("gb2312_name.gpx");
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments[0].Name, "trk: \xE4\xB8\xAD\xE6\x96\x87\xE8\x88\xAA\xE8\xBF\xB9");  // 中文航迹
}

struct EncodingCase {
    const char* Name;
    std::string Bytes;
};

std::string Utf16(const std::string& ascii, bool bigEndian)
{
    std::string out;
    for (char c : ascii) {
        out.push_back(bigEndian ? '\0' : c);
        out.push_back(bigEndian ? c : '\0');
    }
    return out;
}

const std::string Track = "<gpx><trk><name>N\xC3\xBC</name><trkseg><trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"2\" "
                          "lon=\"2\"/></trkseg></trk></gpx>";

class GpxEncoding : public ::testing::TestWithParam<EncodingCase> {};

// Each document names its track "Nü", whatever the encoding it is written in.
TEST_P(GpxEncoding, NamesBecomeUtf8)
{
    Settings settings;
    ChoiceHost host;
    test::TempFile file(".gpx", GetParam().Bytes);
    for (const ReadResult& result : {ReadGpxFile(file.Path(), {settings, host}), ReadGpxText(GetParam().Bytes, {settings, host})}) {
        ASSERT_TRUE(result) << result.Message.Text;
        EXPECT_EQ(result.Track->Segments[0].Name, "trk: N\xC3\xBC");
        EXPECT_EQ(result.Track->Points.size(), 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, GpxEncoding,
    ::testing::Values(
        EncodingCase{"Utf8WithoutDeclaration", Track},
        EncodingCase{"Utf16LittleEndianWithoutMark",
                     Utf16("<?xml version=\"1.0\"?><gpx><trk><name>N", false) + std::string("\xFC\0", 2)
                         + Utf16("</name><trkseg><trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"2\" lon=\"2\"/>"
                                 "</trkseg></trk></gpx>", false)},
        EncodingCase{"Utf16BigEndianWithoutMark",
                     Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gpx><trk><name>N", true)
                         + std::string("\0\xFC", 2)
                         + Utf16("</name><trkseg><trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"2\" lon=\"2\"/>"
                                 "</trkseg></trk></gpx>", true)},
        // What Chinese Windows programs write without saying so: GB18030 ("\xA8\xB9" is ü).
        EncodingCase{"Gb18030WithoutDeclaration",
                     "<?xml version=\"1.0\"?><gpx><trk><name>N\xA8\xB9</name><trkseg>"
                     "<trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"2\" lon=\"2\"/></trkseg></trk></gpx>"},
        EncodingCase{"DeclaredLatin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx><trk><name>N\xFC</name>"
                                       "<trkseg><trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"2\" lon=\"2\"/>"
                                       "</trkseg></trk></gpx>"}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return std::string(info.param.Name); });

TEST_F(GpxReader, NestedTracksKeepDocumentOrder)
{
    const ReadResult result = Read("nested_order.gpx");
    ASSERT_TRUE(result);
    const BuiltTrack& track = *result.Track;
    ASSERT_EQ(track.Segments.size(), 2u);
    EXPECT_EQ(track.Segments[0].Name, "trk: Outer");
    EXPECT_EQ(track.Segments[1].Name, "trk: Inner");
    std::vector<double> latitudes;
    for (const TrackPoint& p : track.Points)
        latitudes.push_back(p.Latitude);
    EXPECT_EQ(latitudes, (std::vector<double>{1, 2, 5, 6}));
    test::ExpectSoundTrack(track);
}

TEST_F(GpxReader, SegmentFilterApplies)
{
    settings.MinTrackPoints = 3;
    const ReadResult result = Read("minimal.gpx");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Message.Text, "");
}

TEST_F(GpxReader, MemoryAndFileGiveTheSameTrack)
{
    const std::string bytes = test::ReadAll(DataPath + "gpx/two_trksegs.gpx");
    const ReadResult fromMemory = ReadGpxText(bytes, {settings, host});
    const ReadResult fromFile = Read("two_trksegs.gpx");
    ASSERT_TRUE(fromMemory && fromFile);
    ASSERT_EQ(fromMemory.Track->Points.size(), fromFile.Track->Points.size());
    for (std::size_t i = 0; i < fromFile.Track->Points.size(); ++i) {
        EXPECT_EQ(fromMemory.Track->Points[i].Latitude, fromFile.Track->Points[i].Latitude);
        EXPECT_EQ(fromMemory.Track->Points[i].Flags, fromFile.Track->Points[i].Flags);
    }
}

}  // namespace
}  // namespace tolvex
