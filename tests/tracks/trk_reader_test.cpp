#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "reader_test_support.h"
#include "temp_file.h"
#include "tracks/readers/trk.h"

namespace tolvex {
namespace {

using test::ChoiceHost;
using test::DataPath;

void Put(std::string& out, std::int64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(i < 8 ? static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF) : '\0');
}

std::string Header(int version = 258)
{
    std::string h;
    for (char c : std::string("SMG_TRACK"))
        h += {c, '\0'};
    h += std::string(2, '\0');
    Put(h, version, 2);
    Put(h, 0, 2);
    return h;
}

struct Full {
    std::int32_t Longitude = 11651234, Latitude = 3990123;
    int Year = 2009, Month = 5, Day = 1, Hour = 8, Minute = 0, Second = 0;
    std::int32_t Altitude = 50, Count = 1;
};

std::string Record(const Full& f)
{
    std::string r;
    Put(r, 0, 4);
    Put(r, f.Longitude, 4);
    Put(r, f.Latitude, 4);
    Put(r, 0, 4);
    for (int v : {f.Year, f.Month, f.Day, f.Hour, f.Minute, f.Second})
        Put(r, v, 2);
    Put(r, 0, 4);
    Put(r, f.Altitude, 4);
    Put(r, 0, 4);
    Put(r, f.Count, 4);
    Put(r, 0, 10);
    return r;
}

std::string Delta(int lon, int lat, int milliseconds, int altitude)
{
    std::string d;
    for (int v : {lon, lat, 0, milliseconds, altitude})
        Put(d, v, 2);
    return d;
}

class TrkReader : public ::testing::Test {
protected:
    ReadResult Read(const std::string& bytes) { return ReadTrkBytes(bytes, {settings, host}); }

    Settings settings;
    ChoiceHost host;
};

TEST_F(TrkReader, HeaderChecks)
{
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Message;
        bool Loads;
    };
    std::string badSignature = Header();
    badSignature[2] = 'X';
    const std::string points = Record(Full{.Count = 2}) + Delta(1, 1, 1000, 0);
    const std::vector<Case> cases = {
        {"Version257", Header(257) + points, "不支持的trk文件版本", false},
        {"Version258", Header(258) + points, "", true},
        {"Version0xFFFF", Header(0xFFFF) + points, "", true},
        {"BadSignature", badSignature + points, "不是有效的trk文件", false},
        {"ShorterThanHeader", Header().substr(0, 23), "", false},
        {"Empty", "", "", false},
        {"HeaderOnly", Header(), "", false},
    };
    for (const Case& c : cases) {
        const ReadResult result = Read(c.Bytes);
        EXPECT_EQ(static_cast<bool>(result), c.Loads) << c.Name;
        EXPECT_EQ(result.Message.Text, c.Message) << c.Name;
    }
}

TEST_F(TrkReader, SampleFileBlocks)
{
    const ReadResult result = ReadTrkFile(DataPath + "trk/sample.trk", {settings, host});
    ASSERT_TRUE(result);
    const auto& p = result.Track->Points;
    ASSERT_EQ(p.size(), 5u);
    ASSERT_EQ(result.Track->Segments.size(), 1u);
    EXPECT_DOUBLE_EQ(p[0].Longitude, 116.51234);
    EXPECT_DOUBLE_EQ(p[0].Latitude, 39.90123);
    EXPECT_EQ(p[0].Time, 1241136000);  // 2009-05-01 08:00:00 in UTC+8
    EXPECT_EQ(p[0].Altitude, 50);
    EXPECT_EQ(p[0].Flags, SegmentStart | HasTime | HasAltitude);
    EXPECT_DOUBLE_EQ(p[1].Longitude, 116.51244);
    EXPECT_DOUBLE_EQ(p[1].Latitude, 39.90118);
    EXPECT_EQ(p[1].Time, 1241136001);
    EXPECT_EQ(p[1].Altitude, 51);
    EXPECT_EQ(p[2].Time, 1241136002.5);  // a 1500 ms delta
    EXPECT_EQ(p[2].Altitude, 49);
    // The next block's full record: no SegmentStart, the file stays one segment.
    EXPECT_EQ(p[3].Flags, HasTime | HasAltitude);
    EXPECT_EQ(p[3].Time, 1241136060);
    EXPECT_EQ(p[4].Time, 1241136060.5);
    EXPECT_EQ(p[4].Flags, SegmentEnd | HasTime | HasAltitude);
}

TEST_F(TrkReader, CountsAtAndBeyondTheEdges)
{
    struct Case {
        const char* Name;
        std::string Body;
        std::vector<double> Latitudes;
    };
    const std::vector<Case> cases = {
        {"CountZeroThenFull", Record(Full{.Latitude = 100000, .Count = 0}) + Record(Full{.Latitude = 200000}),
         {1, 2}},
        {"CountOneThenFull", Record(Full{.Latitude = 100000, .Count = 1}) + Record(Full{.Latitude = 200000}),
         {1, 2}},
        {"NegativeCountReadsNoDelta",
         Record(Full{.Latitude = 100000, .Count = INT_MIN}) + Record(Full{.Latitude = 200000}), {1, 2}},
        {"HugeCountReadsWhatIsThere",
         Record(Full{.Latitude = 100000, .Count = INT_MAX}) + Delta(0, 100000 / 4, 0, 0) + Delta(0, 100, 0, 0),
         {1, 1.25, 1.251}},
        {"CutInsideDelta", Record(Full{.Latitude = 100000, .Count = 3}) + Delta(0, 1000, 0, 0) + Delta(0, 1, 0, 0).substr(0, 9),
         {1, 1.01}},
        {"CutInsideFullRecord", Record(Full{.Latitude = 100000, .Count = 1}) + Record(Full{.Latitude = 200000}) +
                                     Record(Full{.Latitude = 300000}).substr(0, 53),
         {1, 2}},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const ReadResult result = Read(Header() + c.Body);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << c.Name;
        ASSERT_TRUE(result) << c.Name;
        std::vector<double> latitudes;
        for (const TrackPoint& p : result.Track->Points)
            latitudes.push_back(p.Latitude);
        ASSERT_EQ(latitudes.size(), c.Latitudes.size()) << c.Name;
        for (std::size_t i = 0; i < latitudes.size(); ++i)
            EXPECT_DOUBLE_EQ(latitudes[i], c.Latitudes[i]) << c.Name << " point " << i;
    }
}

TEST(TrkTime, CalendarFieldsInUtcPlus8)
{
    struct Case {
        int Year, Month, Day, Hour, Minute, Second;
        double Time;
    };
    const std::vector<Case> cases = {
        {2009, 5, 1, 8, 0, 0, 1241136000},
        {1970, 1, 1, 8, 0, 0, 0},
        {1970, 1, 1, 0, 0, 0, -28800},
        {2000, 2, 29, 12, 30, 15, 951798615},
        {2008, 13, 1, 8, 0, 0, 1230768000},   // month 13 is January of the next year
        {2009, 3, 0, 8, 0, 0, 1235779200},    // day 0 is the last day of February
        {2009, 0, 1, 8, 0, 0, 1228089600},    // month 0 is December of the year before
        {2009, 5, 1, 32, 0, -1, 1241222399},  // hours and seconds carry over too
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrkRecordTime(c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second), c.Time)
            << c.Year << "-" << c.Month << "-" << c.Day << " " << c.Hour << ":" << c.Minute << ":" << c.Second;
}

TEST_F(TrkReader, TimesDoNotDependOnTheMachineZone)
{
    const std::string bytes = test::ReadAll(DataPath + "trk/sample.trk");
    const char* saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    std::vector<double> firstTimes;
    for (const char* zone : {"UTC", "Asia/Shanghai", "America/New_York", "Australia/Lord_Howe"}) {
        setenv("TZ", zone, 1);
        tzset();
        const ReadResult result = Read(bytes);
        ASSERT_TRUE(result);
        firstTimes.push_back(result.Track->Points[0].Time);
    }
    if (saved)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(firstTimes, std::vector<double>(4, 1241136000));
}

}  // namespace
}  // namespace tolvex
