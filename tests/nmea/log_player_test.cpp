#include "nmea/log_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tolvex {
namespace {

// A banner before the first time stamp, an RMC with a wrong checksum (no time stamp of its own),
// midnight, and a clock that steps back: bursts at 0, 1000, 2000 and 2000 ms.
const std::string Log =
    "$GPTXT,01,01,02,banner*00\r\n"
    "$GPRMC,235959.5,A,4807.038,N,01131.000,E,,,111009,,*0D\r\n"
    "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33\n"
    "$GPRMC,000000.0,A,4807.038,N,01131.000,E,,,111009,,*00\r\n"
    "$GNGGA,000000.5,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*12\r\n"
    "$GPGLL,4807.038,N,01131.000,E,000001.5,A*32\r\n"
    "$GPGGA,000000.0,4807.038,N,01131.000,E,1,04,1.0,1.0,M,,,,*09";

struct PlayCase {
    const char* Name;
    double Rate;
    bool Loop;
    int Ticks;
    std::vector<int> SendTicks;  // the tick each line goes out on, in order
};

class PlayLog : public ::testing::TestWithParam<PlayCase> {};

TEST_P(PlayLog, LinesGoOutUnchangedOnTheirTicks)
{
    auto player = LogPlayer::FromText(Log, GetParam().Rate, GetParam().Loop);
    ASSERT_TRUE(player);
    std::vector<int> ticks;
    std::string sent;
    for (int tick = 0; tick < GetParam().Ticks; ++tick) {
        player->Advance(20, [&](std::string_view line) {
            ticks.push_back(tick);
            sent += line;
        });
    }
    EXPECT_EQ(ticks, GetParam().SendTicks);
    const std::size_t n = std::min(sent.size(), Log.size());
    EXPECT_EQ(sent.substr(0, n), Log.substr(0, n));
    EXPECT_EQ(player->Finished(), !GetParam().Loop && ticks.size() == 7);
    EXPECT_EQ(player->LineNumber(), ticks.empty() ? 0 : (static_cast<int>(ticks.size()) - 1) % 7 + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PlayLog,
    ::testing::Values(PlayCase{"RealTime", 1, false, 200, {0, 0, 0, 0, 50, 100, 100}},
                      PlayCase{"TwiceAsFast", 2, false, 200, {0, 0, 0, 0, 25, 50, 50}},
                      PlayCase{"HalfSpeedSoFar", 0.5, false, 150, {0, 0, 0, 0, 100}},
                      // Round again one interval after the last burst.
                      PlayCase{"Looping", 1, true, 151, {0, 0, 0, 0, 50, 100, 100, 150, 150, 150, 150}}),
    [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.Name); });

// As the runner plays between ticks: each burst at its own time, whatever the tick grid.
TEST(PlayLogText, BetweenTicksEachBurstLeavesAtItsOwnTime)
{
    const std::string log = std::string(TOLVEX_TEST_DATA) + "/nmea/play_uneven.nmea";
    for (const double rate : {1.0, 2.0}) {
        std::string error;
        auto player = LogPlayer::Open(log, rate, false, error);
        ASSERT_TRUE(player) << error;
        EXPECT_EQ(player->Path(), log);
        std::vector<double> lineTimes;  // ms at which each line went out, in order
        for (int tick = 0; tick < 200 && !player->Finished(); ++tick) {
            player->Advance(20, [&](std::string_view) { lineTimes.push_back(tick * 20.0); });
            int bounded = 10;  // a burst that would not go would hold this loop
            for (auto ms = player->MsToNextBurst(); ms && *ms < 20 && bounded-- > 0; ms = player->MsToNextBurst())
                player->SendDueBy(*ms, [&](std::string_view) { lineTimes.push_back(tick * 20.0 + *ms); });
        }
        std::vector<double> due;
        for (const auto& burst : player->Bursts()) {
            due.push_back(burst.Due / rate);
            ASSERT_LT(burst.FirstLine - 1, static_cast<int>(lineTimes.size())) << "rate " << rate;
            EXPECT_NEAR(lineTimes[static_cast<std::size_t>(burst.FirstLine - 1)], due.back(), 1e-6)
                << "line " << burst.FirstLine << " rate " << rate;
        }
        EXPECT_EQ(due.back(), 2111 / rate);
    }
}

TEST(PlayLogText, NothingToPaceByIsRefused)
{
    EXPECT_FALSE(LogPlayer::FromText("$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33\r\n", 1, false));
    EXPECT_FALSE(LogPlayer::FromText("$GPRMC,120000,A,4807.038,N,01131.000,E,,,111009,,*00\r\n", 1, false));
    std::string error;
    EXPECT_FALSE(LogPlayer::Open("/nonexistent/x.nmea", 1, false, error));
    EXPECT_NE(error.find("/nonexistent/x.nmea"), std::string::npos) << error;
}

}  // namespace
}  // namespace tolvex
