// tolvex run --play against a program reading a virtual port: the log's bytes, in order, with
// the recorded gaps between its bursts.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "nmea/log_player.h"
#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using tolvex::e2e::ReadFile;

struct PlayCase {
    const char* Name;
    const char* Log;
    double Rate;
};

// The second log's gaps (1013, 250, 37 and 811 ms) fall between the 20 ms ticks.
const PlayCase PlayCases[] = {
    {"Rate1", "play.nmea", 1},
    {"Rate2", "play.nmea", 2},
    {"UnevenGapsRate1", "play_uneven.nmea", 1},
    {"UnevenGapsRate2", "play_uneven.nmea", 2},
};

class PlayCommand : public ::testing::TestWithParam<PlayCase> {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tolvex-play-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_P(PlayCommand, SameBytesWithTheRecordedGaps)
{
    const double rate = GetParam().Rate;
    const std::string log = std::string(TOLVEX_TEST_DATA) + "/nmea/" + GetParam().Log;
    const std::string bytes = ReadFile(log);
    const auto player = tolvex::LogPlayer::FromText(bytes, rate, false);
    ASSERT_TRUE(player);
    const auto& bursts = player->Bursts();
    ASSERT_EQ(bursts.size(), 5u);

    const fs::path port = dir / "ports" / "COM3";
    const std::string command = std::string(TOLVEX_BINARY) + " run --play " + log + " --rate " +
                                std::to_string(rate) + " --config " + (dir / "t.ini").string() +
                                " --virtual-dir " + (dir / "ports").string() + " 2>" + (dir / "err.txt").string();
    FILE* run = ::popen(command.c_str(), "r");
    ASSERT_NE(run, nullptr);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!fs::exists(port) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A navigation program comes some time after the port: the log waits for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int fd = ::open(port.c_str(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(fd, 0) << ReadFile(dir / "err.txt");

    // The time each burst's first byte arrives, in ms.
    std::string got;
    std::vector<double> arrivals;
    const auto start = Clock::now();
    char buffer[4096];
    while (got.size() < bytes.size() && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        const double at = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        got.append(buffer, static_cast<std::size_t>(n));
        while (arrivals.size() < bursts.size() && bursts[arrivals.size()].Begin < got.size()) arrivals.push_back(at);
    }
    ::close(fd);
    EXPECT_EQ(::pclose(run), 0) << ReadFile(dir / "err.txt");
    EXPECT_EQ(got, bytes);
    ASSERT_EQ(arrivals.size(), bursts.size());
    // Each burst against the recorded schedule, placed by the median burst. A busy machine wakes
    // sender or reader late now and then, so most bursts, not all, must be within 5 ms; the exact
    // pacing is checked on a simulated clock in the player's own tests.
    std::vector<double> offsets;
    for (std::size_t i = 0; i < bursts.size(); ++i) offsets.push_back(arrivals[i] - bursts[i].Due / rate);
    std::vector<double> sorted = offsets;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    int off = 0;
    std::ostringstream errors;
    for (std::size_t i = 0; i < bursts.size(); ++i) errors << ' ' << offsets[i] - median;
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        const double error = offsets[i] - median;
        EXPECT_LT(std::abs(error), 50.0) << "burst " << i;
        if (std::abs(error) > 5.0) ++off;
    }
    EXPECT_LE(off, static_cast<int>(bursts.size()) / 2)
        << "bursts more than 5 ms away from the recorded schedule, ms:" << errors.str();
}

INSTANTIATE_TEST_SUITE_P(Logs, PlayCommand, ::testing::ValuesIn(PlayCases),
                         [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.Name); });

}  // namespace
