// The headless runner with output 0: the stand-in API library logs every call the runner makes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::vector<std::string> ReadLines(const fs::path& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(RunWithOziLink, SendsChosenSentencesOnItsIntervalAndUnregistersAtClose)
{
    const fs::path dir = fs::temp_directory_path() / ("tolvex-ozi-run-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        std::ofstream ini(dir / "t.ini");
        ini << "[Tolvex]\nOziActive=1\nOziInterval=500\nOziGSA=0\nOziGSV=0\nOutput1Active=0\nOziApiLibrary="
            << OZI_DOUBLE << "\n";
    }
    const fs::path log = dir / "calls.txt";
    const std::string command = "OZI_DOUBLE_LOG=" + log.string() + " " + TOLVEX_BINARY + " run --seconds 1.1 --config " +
                                (dir / "t.ini").string() + " --virtual-dir " + (dir / "ports").string() + " 2>" +
                                (dir / "err.txt").string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const auto calls = ReadLines(log);
    ASSERT_EQ(calls.size(), 12u) << ::testing::PrintToString(calls);
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 5),
                ElementsAre("oziGetExePath", "oziMapSingleClickON", "oziMapDblClickON", "oziStartMMapi",
                            "oziStartMMapi"));
    // Two sending ticks in 1.1 s at 500 ms, RMC then GGA without line ends.
    for (int i : {5, 7}) {
        EXPECT_THAT(calls[i], StartsWith("oziSendMMstring $GPRMC,"));
        EXPECT_THAT(calls[i + 1], StartsWith("oziSendMMstring $GPGGA,"));
        EXPECT_EQ(calls[i].find('\r'), std::string::npos);
    }
    EXPECT_THAT(std::vector<std::string>(calls.begin() + 9, calls.end()),
                ElementsAre("oziMapSingleClickOFF", "oziMapDblClickOFF", "unload"));
    fs::remove_all(dir);
}

}  // namespace
