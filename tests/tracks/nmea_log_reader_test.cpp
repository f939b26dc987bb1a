#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "reader_test_support.h"
#include "tracks/readers/civil_time.h"
#include "tracks/readers/nmea_log.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

constexpr double Day(int year, int month, int day) { return static_cast<double>(DaysFromCivil(year, month, day)) * 86400; }

std::vector<int> SegmentSizes(const BuiltTrack& track)
{
    std::vector<int> sizes;
    for (const TrackSegment& s : track.Segments)
        sizes.push_back(s.PointCount);
    return sizes;
}

struct LogCase {
    const char* Name;
    const char* Text;
    std::vector<int> Segments;         // empty: nothing loads
    std::optional<double> FirstTime;   // seconds since 1970
    int BadChecksum = 0, InvalidFix = 0, Unparsable = 0;
};

// File time for the undated cases: 2009-10-11 12:00:30 UTC.
constexpr std::int64_t FileTime = 1255262430;

class NmeaLogText : public ::testing::TestWithParam<LogCase> {};

TEST_P(NmeaLogText, PointsSegmentsAndSkippedLines)
{
    Settings settings;
    ChoiceHost host;
    NmeaLogCounts counts;
    const ReadResult result = ReadNmeaLogText(GetParam().Text, {settings, host}, FileTime, &counts);
    EXPECT_EQ(counts.BadChecksum, GetParam().BadChecksum);
    EXPECT_EQ(counts.InvalidFix, GetParam().InvalidFix);
    EXPECT_EQ(counts.Unparsable, GetParam().Unparsable);
    if (GetParam().Segments.empty()) {
        EXPECT_FALSE(result);
        return;
    }
    ASSERT_TRUE(result);
    test::ExpectSoundTrack(*result.Track);
    EXPECT_EQ(SegmentSizes(*result.Track), GetParam().Segments);
    if (GetParam().FirstTime) {
        EXPECT_DOUBLE_EQ(result.Track->Points[0].Time, *GetParam().FirstTime);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Logs, NmeaLogText,
    ::testing::Values(
        LogCase{"RmcPair",
                "$GPRMC,120000,A,4807.038,N,01131.000,E,,,111009,,*14\n"
                "$GPRMC,120001,A,4807.048,N,01131.000,E,,,111009,,*12\n",
                {2}, Day(2009, 10, 11) + 43200},
        LogCase{"MissingAndLowerCaseChecksums",
                "$GPRMC,120000,A,4807.038,N,01131.000,E,,,111009,,\n"
                "$GPRMC,120001,A,4807.048,N,01131.000,E,,,111009,,*12\n"
                "$GPRMC,120002,A,4807.058,S,01131.000,E,,,111009,,*0d\n"
                "$GPRMC,120003,A,4807.068,N,01131.000,E,,,111009,,*12\n",
                {3}, Day(2009, 10, 11) + 43201, 1},
        // A log written twice a second repeats its time stamps: each sentence makes its own point.
        LogCase{"RepeatedTimeIsANewPoint",
                "$GPGGA,120000,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*14\n"
                "$GPGGA,120000,4807.048,N,01131.000,E,1,04,1.0,1.0,M,,,,*13\n",
                {2}, Day(2009, 10, 11) + 43200},
        LogCase{"TimeBackwardsBreaks",
                "$GPRMC,120010,A,4807.038,N,01131.000,E,,,111009,,*15\n"
                "$GPRMC,120011,A,4807.048,N,01131.000,E,,,111009,,*13\n"
                "$GPRMC,120000,A,4807.058,N,01131.000,E,,,111009,,*12\n"
                "$GPRMC,120001,A,4807.068,N,01131.000,E,,,111009,,*10\n",
                {2, 2}, std::nullopt},
        LogCase{"DateBackwardsBreaks",
                "$GPRMC,120000,A,4807.038,N,01131.000,E,,,121009,,*17\n"
                "$GPRMC,120001,A,4807.048,N,01131.000,E,,,121009,,*11\n"
                "$GPRMC,120002,A,4807.058,N,01131.000,E,,,111009,,*10\n"
                "$GPRMC,120003,A,4807.068,N,01131.000,E,,,111009,,*12\n",
                {2, 2}, Day(2009, 10, 12) + 43200},
        // Without any RMC the last fix is dated nearest the file's time, the rest counted back.
        LogCase{"GgaOnlyDatedByTheFile",
                "$GPGGA,235959,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*16\n"
                "$GPGGA,000000,4807.048,N,01131.000,E,1,04,1.0,1.0,M,,,,*10\n",
                {2}, Day(2009, 10, 10) + 86399},
        LogCase{"LoggerPrefixes",
                "2009-10-11T12:00:00.100Z $GPRMC,120000,A,4807.038,N,01131.000,E,,,111009,,*14\n"
                "1255262401.100\t$GPRMC,120001,A,4807.048,N,01131.000,E,,,111009,,*12\n"
                "rx: $GPRMC,120002,A,4807.058,N,01131.000,E,,,111009,,*10\n",
                {2}, std::nullopt},
        LogCase{"BadFields",
                "$GPRMC,120000,A,4807.038,N,01131.000,E,,,111009,,*14\n"
                "$GPRMC,126000,A,4807.048,N,01131.000,E,,,111009,,*15\n"
                "$GPRMC,120001,A,4860.048,N,01131.000,E,,,111009,,*13\n"
                "$GPRMC,120001,A,4807.048,X,01131.000,E,,,111009,,*04\n"
                "$GPRMC,120001,A,4807.048,N,01131.000,E,,,311109,,*11\n"
                "$GPRMC,120001,A,4807.048,N,18001.000,E,,,111009,,*18\n"
                "$GPRMC,120001,A,4807.048,N,01131.000,E,,,111009,,*12\n",
                {2}, std::nullopt, 0, 0, 5},
        LogCase{"OnlyNoFixLines",
                "$GPRMC,120000,V,,,,,,,111009,,*3A\n$GPGGA,120000,,,,,0,00,,,,,,,*65\n", {}, std::nullopt, 0, 2},
        LogCase{"NothingButOtherSentences", "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33\n", {}, std::nullopt}),
    [](const ::testing::TestParamInfo<LogCase>& info) { return std::string(info.param.Name); });

TEST(NmeaLogFile, MultiTalkerLogWithGapsAndMidnight)
{
    Settings settings;
    ChoiceHost host;
    const ReadResult result = ReadNmeaLogFile(DataPath + "nmea/multi_talker.nmea", {settings, host});
    ASSERT_TRUE(result);
    test::ExpectSoundTrack(*result.Track);
    // The no-fix stretch after 00:00:01 and the gap before 00:02:00 start new segments.
    EXPECT_EQ(SegmentSizes(*result.Track), (std::vector<int>{5, 3, 3}));
    const auto& p = result.Track->Points;
    EXPECT_DOUBLE_EQ(p[0].Time, Day(2023, 12, 31) + 86397);
    EXPECT_DOUBLE_EQ(p[0].Latitude, 48 + 7.038 / 60);
    EXPECT_DOUBLE_EQ(p[0].Altitude, 545.4);
    EXPECT_DOUBLE_EQ(p[3].Time, Day(2024, 1, 1));
    // Its RMC has a wrong checksum: the GGA alone gives the point, the day carried over.
    EXPECT_DOUBLE_EQ(p[4].Time, Day(2024, 1, 1) + 1);
    EXPECT_DOUBLE_EQ(p[4].Altitude, 547.5);
    EXPECT_DOUBLE_EQ(p[10].Time, Day(2024, 1, 1) + 122);  // GLL where nothing else is
    EXPECT_FALSE(p[10].Flags & HasAltitude);
    EXPECT_EQ(result.Track->Remarks,
              "skipped: 1 line with a missing or wrong checksum, 4 lines without a valid fix, 1 unreadable fix line");
}

TEST(NmeaLogFile, GgaBeforeTheFirstRmcIsDatedBackOverMidnight)
{
    Settings settings;
    ChoiceHost host;
    const ReadResult result = ReadNmeaLogFile(DataPath + "nmea/gga_then_rmc.nmea", {settings, host});
    ASSERT_TRUE(result);
    ASSERT_EQ(result.Track->Points.size(), 4u);
    EXPECT_DOUBLE_EQ(result.Track->Points[0].Time, Day(2010, 1, 1) + 86398);
    EXPECT_DOUBLE_EQ(result.Track->Points[3].Time, Day(2010, 1, 2) + 1);
}

TEST(NmeaLogFile, TextThatIsNotNmeaIsNoTrackType)
{
    Settings settings;
    ChoiceHost host;
    const std::string path = DataPath + "nmea/not_nmea.txt";
    EXPECT_EQ(ReadNmeaLogFile(path, {settings, host}).Message.Text, "未知的航迹文件类型：\n" + path);
    EXPECT_EQ(FindReader("TRACK.NMEA"), ReadNmeaLogFile);
}

}  // namespace
}  // namespace tolvex
