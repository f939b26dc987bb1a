#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_support.h"
#include "temp_file.h"
#include "tracks/readers/kml.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

struct Tuple {
    double Longitude, Latitude, Altitude;
    bool HasAltitude;
    bool operator==(const Tuple&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Tuple& t)
{
    return out << "(" << t.Longitude << ", " << t.Latitude << ", " << t.Altitude << (t.HasAltitude ? " alt)" : ")");
}

struct CoordinatesCase {
    const char* Name;
    std::string Text;
    std::vector<Tuple> Points;
};

class KmlCoordinates : public ::testing::TestWithParam<CoordinatesCase> {};

TEST_P(KmlCoordinates, Scans)
{
    std::vector<Tuple> got;
    std::vector<std::uint32_t> starts;
    ScanKmlCoordinates(GetParam().Text, [&](const TrackPoint& p) {
        got.push_back({p.Longitude, p.Latitude, p.Altitude, (p.Flags & HasAltitude) != 0});
        starts.push_back(p.Flags & SegmentStart);
    });
    EXPECT_EQ(got, GetParam().Points);
    for (std::size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ(starts[i], i == 0 ? SegmentStart : 0u) << "point " << i;
}

// The text streams through the XML scanner in pieces cut anywhere: a cut, or a piece of one
// character each, changes nothing.
TEST_P(KmlCoordinates, ScansTheSameInPieces)
{
    const std::string& text = GetParam().Text;
    auto scan = [&](std::size_t pieceSize, std::size_t firstCut) {
        std::vector<Tuple> got;
        const KmlCoordinateScanner::AddPoint add = [&](const TrackPoint& p) {
            got.push_back({p.Longitude, p.Latitude, p.Altitude, (p.Flags & HasAltitude) != 0});
        };
        KmlCoordinateScanner scanner;
        scanner.Feed(std::string_view(text).substr(0, firstCut), add);
        for (std::size_t at = firstCut; at < text.size(); at += pieceSize)
            scanner.Feed(std::string_view(text).substr(at, pieceSize), add);
        scanner.Finish(add);
        return got;
    };
    for (std::size_t cut = 0; cut <= text.size(); ++cut)
        EXPECT_EQ(scan(text.size() + 1, cut), GetParam().Points) << "cut at " << cut;
    EXPECT_EQ(scan(1, 0), GetParam().Points) << "one character a piece";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, KmlCoordinates,
    ::testing::Values(
        CoordinatesCase{"WithAltitudeBlankSeparated", "11.5,48.1,500 11.6,48.2,510\n",
                        {{11.5, 48.1, 500, true}, {11.6, 48.2, 510, true}}},
        CoordinatesCase{"WithoutAltitudeAndTwoMoreCharacters", "11.5,48.1 11.6,48.2\nX",
                        {{11.5, 48.1, 0, false}, {11.6, 48.2, 0, false}}},
        CoordinatesCase{"LineFeedAndTabs", "11.5,48.1\n\t\t11.6,48.2\n ",
                        {{11.5, 48.1, 0, false}, {11.6, 48.2, 0, false}}},
        CoordinatesCase{"LastTupleAtTheEndIsKept", "11.5,48.1 11.6,48.2",
                        {{11.5, 48.1, 0, false}, {11.6, 48.2, 0, false}}},
        CoordinatesCase{"LastTupleWithOneLineFeedIsKept", "11.5,48.1 11.6,48.2\n",
                        {{11.5, 48.1, 0, false}, {11.6, 48.2, 0, false}}},
        CoordinatesCase{"TabsEndTuples", "1,2\t3,4\t5,6,7\t8,9",
                        {{1, 2, 0, false}, {3, 4, 0, false}, {5, 6, 7, true}, {8, 9, 0, false}}},
        CoordinatesCase{"CarriageReturnsEndTuples", "1,2\r\n3,4\r", {{1, 2, 0, false}, {3, 4, 0, false}}},
        CoordinatesCase{"LoneNumberIsNoPoint", "5 6,7 8", {{6, 7, 0, false}}},
        CoordinatesCase{"LastTupleWithAltitudeIsRead", "11.5,48.1,500 11.6,48.2,510",
                        {{11.5, 48.1, 500, true}, {11.6, 48.2, 510, true}}},
        CoordinatesCase{"Empty", "", {}},
        CoordinatesCase{"OneCharacter", "1", {}},
        CoordinatesCase{"ShortestPair", "1,2", {{1, 2, 0, false}}},
        CoordinatesCase{"BlankBeforeCommaEndsTheTuple", "  1, 2 ,3 ", {{1, 2, 0, false}}},
        CoordinatesCase{"AntimeridianAndPoles", "-180,-90,0 180,90,0 ", {{-180, -90, 0, true}, {180, 90, 0, true}}},
        CoordinatesCase{"OneCharacterAltitudesBlankSeparated", "11.5,48.1,0 11.6,48.2,0 11.7,48.3,0\n",
                        {{11.5, 48.1, 0, true}, {11.6, 48.2, 0, true}, {11.7, 48.3, 0, true}}},
        CoordinatesCase{"BlankBeforeAltitude", "1,2, 5 3,4, 6\n", {{1, 2, 5, true}, {3, 4, 6, true}}},
        CoordinatesCase{"NumbersReadFromThirtyCharacters", "1.000000000000000000000000000009,2,3 ",
                        {{1, 2, 3, true}}},
        CoordinatesCase{"LineEndAfterCommaReadsOnForTheLatitude", "1,\n2,3 4,,5\n6",
                        {{1, 2, 0, false}, {2, 3, 0, false}, {4, 0, 5, true}}},
        CoordinatesCase{"LongJunkBetweenTuples", "1,2 " + std::string(100, 'x') + ",7 3," + std::string(40, '\t') + "4 5,6",
                        {{1, 2, 0, false}, {0, 7, 0, false}, {3, 0, 0, false}, {5, 6, 0, false}}},
        CoordinatesCase{"OverflowingTupleLeftToTheBuilder", "1e999,1 2,2 3,3\n\n",
                        {{HUGE_VAL, 1, 0, false}, {2, 2, 0, false}, {3, 3, 0, false}}}),
    [](const ::testing::TestParamInfo<CoordinatesCase>& info) { return std::string(info.param.Name); });

class KmlReader : public ::testing::Test {
protected:
    ReadResult Read(const std::string& name) { return ReadKmlFile(DataPath + "kml/" + name, {settings, host}); }

    Settings settings;
    ChoiceHost host;
};

TEST_F(KmlReader, MinimalLineString)
{
    const ReadResult result = Read("minimal.kml");
    ASSERT_TRUE(result);
    ASSERT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_EQ(result.Track->Segments[0].Name, "Line:  Walk");
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].Latitude, 48.1);
    EXPECT_EQ(p[1].Altitude, 510);
    EXPECT_EQ(p[0].Flags, SegmentStart | HasAltitude);
    EXPECT_EQ(p[1].Flags, SegmentEnd | HasAltitude);
}

TEST_F(KmlReader, OnlyLineStringsDirectlyUnderPlacemarks)
{
    const ReadResult result = Read("placemarks.kml");
    ASSERT_TRUE(result);
    const BuiltTrack& track = *result.Track;
    std::vector<std::string> names;
    for (const TrackSegment& s : track.Segments)
        names.push_back(s.Name);
    // The name after the first LineString comes too late; the MultiGeometry line counts as the
    // Placemark's own; points are not read.
    EXPECT_EQ(names, (std::vector<std::string>{"", "Line:  Two lines", "Line:  Two lines", "Line:  Two lines",
                                               "Line:  Two lines"}));
    std::vector<double> longitudes;
    for (const TrackPoint& p : track.Points)
        longitudes.push_back(p.Longitude);
    EXPECT_EQ(longitudes, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 20, 21}));
    test::ExpectSoundTrack(track);
}

TEST_F(KmlReader, TimedTracksAreSegmentsWithTimes)
{
    // gpsbabel's gx:Track of a track of two trksegs: five points, with their times.
    ReadResult result = Read("gx_track.kml");
    ASSERT_TRUE(result);
    ASSERT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_EQ(result.Track->Segments[0].Name, "Line:  Two parts");
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 5u);
    const double offsets[] = {0, 10, 20, 330, 340};
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(p[i].Time, 1255262400 + offsets[i]) << i;
        EXPECT_TRUE(p[i].Flags & HasTime) << i;
        EXPECT_TRUE(p[i].Flags & HasAltitude) << i;
    }
    EXPECT_EQ(p[4].Latitude, 48.121);
    EXPECT_EQ(p[4].Altitude, 550);

    // Google Earth's gx:MultiTrack holds one track per segment; positions may come before their
    // times, and a position without a time or altitude is still a point.
    result = ReadKmlText(
        "<kml><Placemark><name>Walk</name><gx:MultiTrack>"
        "<gx:Track><gx:coord>1 2 3</gx:coord><gx:coord>1.001 2</gx:coord><when>2009-10-11T12:00:00Z</when>"
        "<when>2009-10-11T12:00:10Z</when></gx:Track>"
        "<gx:Track><when>2009-10-11T13:00:00Z</when><when>bad</when><gx:coord>5 6 7</gx:coord>"
        "<gx:coord>5.001 6 8</gx:coord><gx:coord>5.002 6 9</gx:coord></gx:Track>"
        "</gx:MultiTrack></Placemark></kml>",
        {settings, host});
    ASSERT_TRUE(result);
    ASSERT_EQ(result.Track->Segments.size(), 2u);
    EXPECT_EQ(result.Track->Segments[1].Name, "Line:  Walk");
    const auto& q = result.Track->Points;
    ASSERT_EQ(q.size(), 5u);
    EXPECT_EQ(q[0].Flags, SegmentStart | HasAltitude | HasTime);
    EXPECT_EQ(q[1].Flags, SegmentEnd | HasTime);
    EXPECT_EQ(q[1].Time, 1255262410);
    EXPECT_EQ(q[2].Flags, SegmentStart | HasAltitude | HasTime);
    EXPECT_EQ(q[3].Flags, HasAltitude);  // its when does not read
    EXPECT_EQ(q[4].Flags, SegmentEnd | HasAltitude);
    test::ExpectSoundTrack(*result.Track);
}

TEST_F(KmlReader, NamesInTheDeclaredEncodingBecomeUtf8)
{
    const ReadResult result = Read("latin1_name.kml");
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Segments[0].Name, "Line:  M\xC3\xBCller");
}

TEST_F(KmlReader, FailuresAndTheirMessages)
{
    struct Case {
        const char* File;
        const char* Message;
    };
    const std::vector<Case> cases = {
        {"malformed.kml", "载入kml文件失败"},
        {"does_not_exist.kml", "载入kml文件失败"},
        {"no_placemark.kml", "kml文件内未找到Placemark"},
    };
    for (const Case& c : cases) {
        const ReadResult result = Read(c.File);
        EXPECT_FALSE(result) << c.File;
        EXPECT_EQ(result.Message.Text, c.Message) << c.File;
        EXPECT_EQ(result.Message.Caption, "错误");
    }
}

TEST_F(KmlReader, PlacemarkWithoutLinesLoadsNothingSilently)
{
    const ReadResult result = ReadKmlText("<kml><Placemark><Point><coordinates>1,1,1</coordinates></Point></Placemark></kml>",
                                          {settings, host});
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Message.Text, "");
}

TEST_F(KmlReader, CoordinatesSplitByCdataAndCommentsReadAsOneText)
{
    const ReadResult result = ReadKmlText(
        "<kml><Placemark><LineString><coordinates>1,1,0 <!-- c --><![CDATA[2,2,0 ]]>3,3,0</coordinates>"
        "</LineString></Placemark></kml>",
        {settings, host});
    ASSERT_TRUE(result);
    EXPECT_EQ(result.Track->Points.size(), 3u);
}

}  // namespace
}  // namespace tolvex
