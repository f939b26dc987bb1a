#include "nmea/nmea_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <random>
#include <vector>
#include <string>

#include "nmea/shanghai_fix.h"
#include "sim/lat_lon_format.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using testing::FakeCalendar;

struct Built {
    std::string Rmc, Gga, Gsa, Gsv, Gll, Vtg;
};

Built Build(const SimFix& fix, const Settings& settings, RunState state = RunState::Running,
            std::int64_t now = 1245054605)
{
    FakeCalendar calendar;
    calendar.Seconds = now;
    FixClock clock;
    NmeaBuilder b;
    b.BuildSentences(fix, state, settings, clock, calendar, false);
    return {b.Text(0), b.Text(1), b.Text(2), b.Text(3), b.Text(4), b.Text(5)};
}

using testing::Shanghai;

TEST(NmeaBuilder, WorkedExampleByteForByte)
{
    const Built s = Build(Shanghai(), Settings{});
    EXPECT_EQ(s.Rmc, "$GPRMC,083005.000,A,3113.8240,N,12128.4220,E,19.44,45.0,150609,,,A*50");
    EXPECT_EQ(s.Gga, "$GPGGA,083005.000,3113.8240,N,12128.4220,E,1,04,1.0,12.3,M,,,,0000*36");
    EXPECT_EQ(s.Gsa, "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33");
    EXPECT_EQ(s.Gsv, "$GPGSV,1,1,04,01,30,000,35,02,40,090,40,03,50,180,45,04,60,270,50*7E");
    EXPECT_EQ(s.Gll, "$GPGLL,3113.8240,N,12128.4220,E,083005.000,A*38");
    EXPECT_EQ(s.Vtg, "$GPVTG,45.0,T,,M,19.44,N,36.00,K*5C");
}

TEST(NmeaBuilder, LineEndsAndLengths)
{
    FakeCalendar calendar;
    FixClock clock;
    NmeaBuilder b;
    b.BuildSentences(Shanghai(), RunState::Running, Settings{}, clock, calendar, false);
    ASSERT_EQ(b.Length(Sentence::GSA), static_cast<int>(std::strlen("$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33")));
    b.AppendLineEnds();
    for (int i = 0; i < SentenceCount; ++i) {
        const std::string text = b.Text(i);
        EXPECT_EQ(static_cast<int>(text.size()), b.Length(i));
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
}

TEST(NmeaBuilder, HemispheresAndZeroFields)
{
    SimFix fix;
    fix.Latitude = -33.8688;
    fix.Longitude = -70.6693;
    Built s = Build(fix, Settings{});
    EXPECT_NE(s.Gll.find("3352.1280,S,07040.1580,W,"), std::string::npos) << s.Gll;

    fix.Latitude = 0;
    fix.Longitude = -0.0;  // -0 counts as east
    s = Build(fix, Settings{});
    EXPECT_NE(s.Gll.find("0000.0000,N,00000.0000,E,"), std::string::npos) << s.Gll;

    // What a lateral offset at course 270 leaves: it rounds to zero, so it is north and east.
    fix.Latitude = -1e-9;
    fix.Longitude = -2e-16;
    s = Build(fix, Settings{});
    EXPECT_NE(s.Gll.find("0000.0000,N,00000.0000,E,"), std::string::npos) << s.Gll;
}

TEST(NmeaBuilder, MinutesThatRoundToSixtyCarryIntoTheDegrees)
{
    SimFix fix;
    fix.Latitude = 31.999999999;
    fix.Longitude = -121.999999999;
    const Built s = Build(fix, Settings{});
    EXPECT_NE(s.Gll.find("3200.0000,N,12200.0000,W,"), std::string::npos) << s.Gll;
}

// The fields are the position dialogs' DM rounding to the digit, on halves of the last digit too.
TEST(NmeaBuilder, CoordinatesAgreeWithTheShownAngle)
{
    auto shown = [](double v, int digits, char pos, char neg) {
        const ShownAngle a = RoundAngle(LatLonFormat::DM, v);
        char out[64];
        std::snprintf(out, sizeof out, "%0*d%07.4f,%c,", digits, a.Degrees, a.Minutes, a.Negative ? neg : pos);
        return std::string(out);
    };
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> degrees(-89.99, 89.99);
    std::vector<double> values = {0.0, -0.0, 90, -90, 89.99999999, -0.000000001, 0.5 / 600000, -0.5 / 600000};
    for (int i = 0; i < 20000; ++i) {
        const double d = degrees(random);
        // Every other one on a half of the fourth decimal of the minutes, or a hair beside it.
        values.push_back(i % 2 ? d : std::trunc(d) + (std::floor(std::fabs(d - std::trunc(d)) * 600000) + 0.5) / 600000 *
                                                         (d < 0 ? -1 : 1) * (1 + (i % 3 - 1) * 1e-15));
    }
    // Minutes of j/32 with j odd are exact ties of the fourth decimal, which printf rounds to even.
    for (int j = 1; j < 1920; j += 2) values.push_back(-(7 + j / 1920.0));
    for (const double v : values) {
        SimFix fix;
        fix.Latitude = v;
        fix.Longitude = v * 2;
        const std::string gll = Build(fix, Settings{}).Gll;
        ASSERT_EQ(gll.substr(7, 25), shown(v, 2, 'N', 'S') + shown(v * 2, 3, 'E', 'W')) << v;
    }
}

TEST(NmeaBuilder, SpeedLimitsAndPause)
{
    Settings limits;
    limits.GPSUpperSpeed = 50 / 3.6;
    limits.GPSLowerSpeed = 80 / 3.6;
    SimFix still = Shanghai();
    still.Speed = 0;
    Built s = Build(still, limits);
    EXPECT_NE(s.Rmc.find(",27.00,45.0,"), std::string::npos) << s.Rmc;
    EXPECT_NE(s.Vtg.find(",27.00,N,50.00,K*"), std::string::npos) << s.Vtg;

    Settings lower;
    lower.GPSLowerSpeed = 20 / 3.6;
    s = Build(still, lower, RunState::Paused);
    EXPECT_NE(s.Rmc.find(",0.00,45.0,"), std::string::npos) << s.Rmc;
    EXPECT_NE(s.Vtg.find(",0.00,N,0.00,K*"), std::string::npos) << s.Vtg;
    s = Build(still, lower, RunState::Running);
    EXPECT_NE(s.Vtg.find(",20.00,K*"), std::string::npos) << s.Vtg;
}

TEST(NmeaBuilder, ClockStartsOnceAndFollowsFactorAndOffset)
{
    FakeCalendar calendar;
    FixClock clock;
    Settings settings;
    NmeaBuilder b;
    b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, false);
    ASSERT_EQ(clock.FixClockStart, 1245054605);

    calendar.Seconds += 100;
    settings.GPSTimeFactor = 0.5;
    b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, false);
    EXPECT_EQ(std::string(b.Text(0)).substr(7, 10), "083055.000");  // 50 s on

    settings.GPSTimeFactor = 0;  // frozen at the first build
    settings.GPSTimeOffset = -0.5;
    b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, false);
    EXPECT_EQ(std::string(b.Text(0)).substr(7, 10), "080005.000");
    EXPECT_EQ(clock.FixClockStart, 1245054605);

    // Offset 8 h: the date turns at 16:00 UTC.
    settings.GPSTimeFactor = 1;
    settings.GPSTimeOffset = 8;
    FixClock late;
    calendar.Seconds = 1245054605 + 7 * 3600 + 29 * 60 + 55;  // 16:00:00 UTC
    b.BuildSentences(Shanghai(), RunState::Running, settings, late, calendar, false);
    EXPECT_NE(std::string(b.Text(0)).find(",000000.000,"), std::string::npos) << b.Text(0);
    EXPECT_NE(std::string(b.Text(0)).find(",160609,"), std::string::npos) << b.Text(0);
}

// Five groups a second carry five distinct times: the fix time's milliseconds, scaled by the factor.
TEST(NmeaBuilder, TimesCarryTheMillisecondsOfTheFixTime)
{
    struct Case {
        double Factor;
        double Offset;
        std::int64_t AfterMs;
        const char* Time;
    } cases[] = {
        {1, 0, 0, "083005.000"},   {1, 0, 200, "083005.200"}, {1, 0, 1400, "083006.400"},
        {1.5, 0, 300, "083005.450"}, {1, 1, 600, "093005.600"}, {0, 0, 900, "083005.000"},
    };
    for (const Case& c : cases) {
        ScheduledClock calendar;
        calendar.Set(1245054605000);
        FixClock clock;
        Settings settings;
        settings.GPSTimeFactor = c.Factor;
        settings.GPSTimeOffset = c.Offset;
        NmeaBuilder b;
        b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, false);
        calendar.Set(1245054605000 + c.AfterMs);
        b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, false);
        EXPECT_EQ(std::string(b.Text(0)).substr(7, 10), c.Time) << c.Factor << " " << c.AfterMs;
        EXPECT_EQ(std::string(b.Text(4)).substr(32, 10), c.Time) << b.Text(4);
    }
}

TEST(NmeaBuilder, ExportTimesRunOneStepApartAndContinue)
{
    FakeCalendar calendar;
    FixClock clock;
    clock.FixClockStart = 1255262400;  // 2009-10-11 12:00:00
    Settings settings;
    NmeaBuilder b;
    b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, true);
    EXPECT_EQ(std::string(b.Text(0)).substr(7, 10), "120001.000");
    b.BuildSentences(Shanghai(), RunState::Running, settings, clock, calendar, true);
    EXPECT_EQ(std::string(b.Text(0)).substr(7, 10), "120002.000");
    EXPECT_EQ(clock.ExportSentenceCount, 2);
}

// Whatever the fix and the settings hold, every text is a well-formed sentence within its buffer.
TEST(NmeaBuilder, ExtremeValuesStillGiveWellFormedSentences)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double Lat, Lon, Alt, Course, Speed, Upper, Lower, Offset, Factor;
        std::int64_t Now;
    };
    const Case cases[] = {
        {90, 180, 277777.5, 360, 27777.5, 99999 / 3.6, 0, 0, 1, 1245054605},
        {-90, -180, -277777.5, 0, 0, 1e300, 1e299, 0, 1, 1245054605},
        {1e300, -1e300, 1e300, -1e300, 1e300, inf, -inf, -1e12, 1e300, 1245054605},
        {nan, nan, nan, nan, nan, nan, nan, nan, nan, 1245054605},
        {45, 45, 0, 90, 10, 1e6, 0, -1e6, 1, 0},              // long before 1970
        {45, 45, 0, 90, 10, 1e6, 0, 1e9, 1, 4102444800},      // far beyond 3000
        {45, 45, 0, 90, 10, 1e6, 0, 0, -1e18, 1245054605},
    };
    for (const Case& c : cases) {
        SimFix fix{c.Lat, c.Lon, c.Alt, c.Course, c.Speed};
        Settings settings;
        settings.GPSUpperSpeed = c.Upper;
        settings.GPSLowerSpeed = c.Lower;
        settings.GPSTimeOffset = c.Offset;
        settings.GPSTimeFactor = c.Factor;
        FakeCalendar calendar;
        calendar.Seconds = c.Now;
        FixClock clock;
        NmeaBuilder b;
        b.BuildSentences(fix, RunState::Running, settings, clock, calendar, false);
        b.AppendLineEnds();
        for (int i = 0; i < SentenceCount; ++i) {
            const std::string text = b.Text(i);
            ASSERT_LT(text.size(), static_cast<std::size_t>(SentenceBufferSize)) << text;
            ASSERT_EQ(text[0], '$') << text;
            const auto star = text.find('*');
            ASSERT_NE(star, std::string::npos) << text;
            ASSERT_EQ(star + 5, text.size()) << text;
            EXPECT_EQ(text.find("nan"), std::string::npos) << text;
            EXPECT_EQ(text.find("inf"), std::string::npos) << text;
            unsigned sum = 0;
            for (std::size_t k = 1; k < star; ++k) sum ^= static_cast<unsigned char>(text[k]);
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", sum);
            EXPECT_EQ(text.substr(star + 1, 2), hex) << text;
        }
        const std::string rmc = b.Text(0);
        // Time and date are digits of a real calendar day.
        EXPECT_EQ(rmc.substr(13, 5), ".000,") << rmc;
    }
}

std::vector<std::string> Fields(const std::string& text)
{
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// The fields as the printf formats of the sentences write them, for a fix within the usual ranges.
std::string PrintfRmcAndGgaBody(const SimFix& fix, double knots)
{
    auto coordinate = [](double v, int digits, char pos, char neg) {
        const char h = v < 0 ? neg : pos;
        v = std::fabs(v);
        const int d = static_cast<int>(v);
        char out[64];
        std::snprintf(out, sizeof out, "%0*d%07.4f,%c,", digits, d, (v - d) * 60, h);
        return std::string(out);
    };
    char out[256];
    std::snprintf(out, sizeof out, "%s%s%.2f,%.1f|%.1f|%.2f", coordinate(fix.Latitude, 2, 'N', 'S').c_str(),
                  coordinate(fix.Longitude, 3, 'E', 'W').c_str(), knots, fix.Course, fix.Altitude, knots * 1.852);
    return out;
}

TEST(NmeaBuilder, NumbersMatchPrintfExactly)
{
    std::mt19937_64 random(20091011);
    std::uniform_real_distribution<double> lat(-89.9, 89.9), lon(-179.9, 179.9), alt(-1000, 9000), course(0, 360),
        speed(0, 400);
    FakeCalendar calendar;
    Settings settings;
    for (int i = 0; i < 20000; ++i) {
        SimFix fix{lat(random), lon(random), alt(random), course(random), speed(random)};
        if (i % 4 == 0) {
            // Values on the rounding edges of one and two decimals.
            fix.Altitude = std::round(fix.Altitude * 100) / 100 + 0.05 * (i % 8 == 0 ? -1 : 1) - 0.0;
            fix.Course = std::round(fix.Course * 100) / 100 + 0.05;
        }
        if (i % 97 == 0) fix.Altitude = -0.04;  // prints as "-0.0"
        FixClock clock;
        NmeaBuilder b;
        b.BuildSentences(fix, RunState::Running, settings, clock, calendar, false);
        const std::string rmc = b.Text(Sentence::RMC);
        const std::string gga = b.Text(Sentence::GGA);
        const std::string vtg = b.Text(Sentence::VTG);
        const auto r = Fields(rmc);
        const auto g = Fields(gga);
        const auto v = Fields(vtg);
        ASSERT_EQ(r.size(), 13u) << rmc;
        const std::string actual =
            r[3] + "," + r[4] + "," + r[5] + "," + r[6] + "," + r[7] + "," + r[8] + "|" + g[9] + "|" + v[7];
        const double knots = fix.Speed * 3.6 / 1.852;
        const std::string expected = PrintfRmcAndGgaBody(fix, knots);
        if (expected.find(",60.0000") != std::string::npos || expected.find("60.0000,") != std::string::npos) continue;
        ASSERT_EQ(actual, expected) << rmc;
    }
}

// The integer path and its fall-back to to_chars: halves, near-halves, signs, zeros and sizes.
TEST(FormatFixed, MatchesPrintfToTheLastDigit)
{
    std::mt19937_64 random(48);
    std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, -0.5, 0.125, 0.375, 1.005, -0.004, 0.045, 59.99995,
                                  123456.789, -98765.4321, 1e11, 9.99999999e11, 1e13, 1e300};
    std::uniform_real_distribution<double> magnitude(-7, 12);
    for (int i = 0; i < 100000; ++i) {
        const double v = std::pow(10.0, magnitude(random)) * (random() % 2 ? -1 : 1);
        values.push_back(i % 3 ? v : std::round(v * 1000) / 1000 + 0.0005);  // every third near a half
    }
    for (const double v : values) {
        for (int decimals = 0; decimals <= 7; ++decimals) {
            char expected[400], actual[400];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            const std::size_t length = FormatFixed(v, decimals, actual, sizeof actual);
            ASSERT_EQ(std::string(actual, length), expected) << v << " to " << decimals;
        }
    }
}

// An output that takes RMC and GGA gets them as a full build makes them, and nothing else is made.
TEST(NmeaBuilder, OnlyTheWantedSentencesAreMade)
{
    const SimFix fix{31.2304, 121.4737, 12.3, 45, 10};
    FakeCalendar calendar;
    Settings settings;
    FixClock fullClock, partClock;
    NmeaBuilder full, part;
    std::array<bool, SentenceCount> wanted{};
    wanted[static_cast<std::size_t>(Sentence::RMC)] = wanted[static_cast<std::size_t>(Sentence::GGA)] = true;
    part.SetWanted(wanted);
    full.BuildSentences(fix, RunState::Running, settings, fullClock, calendar, false);
    part.BuildSentences(fix, RunState::Running, settings, partClock, calendar, false);
    for (int s = 0; s < SentenceCount; ++s) {
        ASSERT_EQ(part.LineCount(s), wanted[static_cast<std::size_t>(s)] ? full.LineCount(s) : 0) << s;
        for (int line = 0; line < part.LineCount(s); ++line)
            EXPECT_STREQ(part.Text(s, line), full.Text(s, line));
    }
}

TEST(BreakUtc, AgreesWithTheCLibraryFrom1970To3000)
{
    std::mt19937_64 random(1970);
    std::uniform_int_distribution<std::int64_t> when(0, 32535215999);
    std::vector<std::int64_t> times = {0, 86399, 86400, 951782400, 951868800, 1245054605, 4107542399, 32535215999};
    for (int i = 0; i < 100000; ++i) times.push_back(when(random));
    for (const std::int64_t t : times) {
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm expected{};
        gmtime_r(&tt, &expected);
        const UtcTime actual = BreakUtc(t);
        ASSERT_EQ(actual.Year, expected.tm_year + 1900) << t;
        ASSERT_EQ(actual.Month, expected.tm_mon + 1) << t;
        ASSERT_EQ(actual.Day, expected.tm_mday) << t;
        ASSERT_EQ(actual.Hour, expected.tm_hour) << t;
        ASSERT_EQ(actual.Minute, expected.tm_min) << t;
        ASSERT_EQ(actual.Second, expected.tm_sec) << t;
    }
}

TEST(NmeaChecksum, WritesTwoUpperCaseDigitsAndRefusesTextWithoutStar)
{
    char text[SentenceBufferSize] = "$GPXXX,a*";
    EXPECT_EQ(NmeaChecksum(text, sizeof text), 11);
    unsigned sum = 0;
    for (const char* p = "GPXXX,a"; *p; ++p) sum ^= static_cast<unsigned char>(*p);
    char expected[16];
    std::snprintf(expected, sizeof expected, "$GPXXX,a*%02X", sum);
    EXPECT_STREQ(text, expected);
    char noStar[16] = "$GPXXX,a";
    EXPECT_EQ(NmeaChecksum(noStar, sizeof noStar), -1);
}

}  // namespace
}  // namespace tolvex
