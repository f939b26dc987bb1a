// The sentences of the realistic receiver: the sky's satellites, its DOP, the lost fix, the
// sentences added to the classic six.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "nmea/nmea_builder.h"
#include "sky/sky_model.h"
#include "nmea/shanghai_fix.h"
#include "testing/fakes.h"

namespace tolvex {
namespace {

using testing::FakeCalendar;

using testing::Shanghai;

// Every line of every sentence, in output order.
std::vector<std::string> Lines(const NmeaBuilder& b, Sentence s)
{
    std::vector<std::string> lines;
    const int i = static_cast<int>(s);
    for (int k = 0; k < b.LineCount(i); ++k) lines.push_back(b.Text(i, k));
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    const std::string body = line.substr(0, line.find('*'));
    for (std::size_t at = 0;;) {
        const std::size_t comma = body.find(',', at);
        fields.push_back(body.substr(at, comma - at));
        if (comma == std::string::npos) return fields;
        at = comma + 1;
    }
}

struct Receiver {
    FakeCalendar Calendar;
    FixClock Clock;
    Settings Options;
    SkyModel Sky;
    NmeaBuilder Builder;

    const NmeaBuilder& Build(const SimFix& fix, bool withSky = true)
    {
        if (withSky) Sky.Configure(Options.Sky);
        Builder.BuildSentences(fix, RunState::Running, Options, Clock, Calendar, false, withSky ? &Sky : nullptr);
        return Builder;
    }
};

TEST(SkySentences, AddedSentencesOfTheClassicReceiver)
{
    Receiver r;
    const NmeaBuilder& b = r.Build(Shanghai(), false);
    EXPECT_EQ(b.Text(Sentence::ZDA), std::string("$GPZDA,083005.000,15,06,2009,00,00*51"));
    EXPECT_EQ(b.Text(Sentence::GST), std::string("$GPGST,083005.000,0.0,0.0,0.0,0.0,0.0,0.0,0.0*69"));
    EXPECT_EQ(b.Text(Sentence::HDT), std::string("$GPHDT,45.0,T*04"));
}

struct LostCase {
    const char* Name;
    unsigned Systems;
    std::vector<std::string> Rmc, Gga, Gsa, Gsv, Gll, Vtg, Gst, Hdt;
};

class LostFix : public ::testing::TestWithParam<LostCase> {};

// A mask at the zenith leaves no satellite: the receiver says so as real ones do.
TEST_P(LostFix, EmptiesThePositionFields)
{
    const LostCase& c = GetParam();
    Receiver r;
    r.Options.Sky.Enabled = true;
    r.Options.Sky.MaskDeg = 90;
    r.Options.Sky.Systems = c.Systems;
    const NmeaBuilder& b = r.Build(Shanghai());
    EXPECT_EQ(Lines(b, Sentence::RMC), c.Rmc);
    EXPECT_EQ(Lines(b, Sentence::GGA), c.Gga);
    EXPECT_EQ(Lines(b, Sentence::GSA), c.Gsa);
    EXPECT_EQ(Lines(b, Sentence::GSV), c.Gsv);
    EXPECT_EQ(Lines(b, Sentence::GLL), c.Gll);
    EXPECT_EQ(Lines(b, Sentence::VTG), c.Vtg);
    EXPECT_EQ(Lines(b, Sentence::GST), c.Gst);
    EXPECT_EQ(Lines(b, Sentence::HDT), c.Hdt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LostFix,
    ::testing::Values(
        LostCase{"GpsAlone", SystemBit(GnssSystem::Gps),
                 {"$GPRMC,083005.000,V,,,,,,,150609,,,N*48"},
                 {"$GPGGA,083005.000,,,,,0,00,,,,,,,0000*76"},
                 {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E"},
                 {"$GPGSV,1,1,00*79"},
                 {"$GPGLL,,,,,083005.000,V*16"},
                 {"$GPVTG,,T,,M,,N,,K*4E"},
                 {"$GPGST,083005.000,,,,,,,*47"},
                 {"$GPHDT,,T*1B"}},
        LostCase{"GpsAndGalileo", SystemBit(GnssSystem::Gps) | SystemBit(GnssSystem::Galileo),
                 {"$GNRMC,083005.000,V,,,,,,,150609,,,N*56"},
                 {"$GNGGA,083005.000,,,,,0,00,,,,,,,0000*68"},
                 {"$GNGSA,A,1,,,,,,,,,,,,,,,,1*1D", "$GNGSA,A,1,,,,,,,,,,,,,,,,3*1F"},
                 {"$GPGSV,1,1,00*79", "$GAGSV,1,1,00*68"},
                 {"$GNGLL,,,,,083005.000,V*08"},
                 {"$GNVTG,,T,,M,,N,,K*50"},
                 {"$GNGST,083005.000,,,,,,,*59"},
                 {"$GNHDT,,T*05"}}),
    [](const auto& info) { return std::string(info.param.Name); });

// What one build says must agree with itself: GSV counts and indexes, GSA's satellites and DOP in
// GGA, GST's figures those of the noise.
TEST(SkySentences, FourSystemsAgreeAcrossSentences)
{
    Receiver r;
    r.Options.Sky.Enabled = true;
    r.Options.Sky.Systems = 0xF;
    r.Options.Sky.Uere = 4;
    r.Options.Sky.Seed = 3;
    const NmeaBuilder& b = r.Build(Shanghai());
    const SkyView& view = r.Sky.View();
    ASSERT_TRUE(view.FixValid);

    const std::vector<std::string> gsa = Lines(b, Sentence::GSA);
    ASSERT_EQ(gsa.size(), 4u);
    int used = 0;
    for (std::size_t i = 0; i < gsa.size(); ++i) {
        const std::vector<std::string> f = Fields(gsa[i]);
        ASSERT_EQ(f.size(), 19u) << gsa[i];
        EXPECT_EQ(f[0], "$GNGSA");
        EXPECT_EQ(f[2], "3");
        EXPECT_EQ(f[18], std::to_string(i + 1)) << "system id";
        for (int k = 3; k < 15; ++k) used += f[static_cast<std::size_t>(k)].empty() ? 0 : 1;
    }
    const std::vector<std::string> gga = Fields(b.Text(Sentence::GGA));
    EXPECT_EQ(std::atoi(gga[7].c_str()), used);
    EXPECT_EQ(used, view.UsedCount);
    EXPECT_EQ(gga[8], Fields(gsa[0])[16]) << "HDOP";

    const char* talkers[] = {"$GPGSV", "$GLGSV", "$GAGSV", "$GBGSV"};
    std::size_t listed = 0;
    int system = -1, expectedIndex = 0, total = 0;
    for (const std::string& line : Lines(b, Sentence::GSV)) {
        const std::vector<std::string> f = Fields(line);
        if (std::atoi(f[2].c_str()) == 1) {
            ++system;
            expectedIndex = 0;
            total = std::atoi(f[1].c_str());
        }
        ASSERT_LT(system, 4);
        EXPECT_EQ(f[0], talkers[system]);
        EXPECT_EQ(std::atoi(f[1].c_str()), total);
        EXPECT_EQ(std::atoi(f[2].c_str()), ++expectedIndex);
        const std::size_t satellites = (f.size() - 4) / 4;
        EXPECT_TRUE(satellites == 4 || expectedIndex == total) << line;
        listed += satellites;
    }
    EXPECT_EQ(listed, view.Satellites.size());

    const std::vector<std::string> gst = Fields(b.Text(Sentence::GST));
    EXPECT_EQ(gst[2], "4.0");
    EXPECT_NEAR(std::atof(gst[6].c_str()), view.SigmaNorth, 0.05);
    EXPECT_NEAR(std::atof(gst[8].c_str()), view.SigmaUp, 0.05);
}

TEST(SkySentences, SameSeedSameSentences)
{
    auto run = [](std::uint32_t seed) {
        Receiver r;
        r.Options.Sky.Enabled = true;
        r.Options.Sky.Uere = 3;
        r.Options.Sky.Seed = seed;
        std::string all;
        for (int i = 0; i < 30; ++i) {
            r.Calendar.Seconds += 1;
            const NmeaBuilder& b = r.Build(Shanghai());
            for (int s = 0; s < SentenceCount; ++s)
                for (int k = 0; k < b.LineCount(s); ++k) all += b.Text(s, k);
        }
        return all;
    };
    const std::string first = run(11);
    EXPECT_EQ(first, run(11));
    EXPECT_NE(first, run(12));
}

}  // namespace
}  // namespace tolvex
