// The headless runner as a user starts it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Result {
    int Status = -1;
    std::string Out;
};

Result RunTolvex(const std::string& args, const fs::path& errFile)
{
    const std::string command = std::string(TOLVEX_BINARY) + " " + args + " 2>" + errFile.string();
    Result r;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.Out.append(buffer, n);
    const int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

using tolvex::e2e::ReadFile;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class RunCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tolvex-run-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(RunCommand, WithoutSettingsDrivesNorthAtThirtyAndWritesTheFileOnExit)
{
    const fs::path ini = dir / "Tolvex.ini";
    const fs::path vdir = dir / "ports";
    const Result r = RunTolvex("run --stdout --seconds 3 --config " + ini.string() + " --virtual-dir " + vdir.string(),
                               dir / "err.txt");
    ASSERT_EQ(r.Status, 0) << ReadFile(dir / "err.txt");
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 12u) << r.Out;
    EXPECT_EQ(r.Out.substr(r.Out.size() - 2), "\r\n");
    double previousLatitude = -1;
    for (int group = 0; group < 3; ++group) {
        const std::string& rmc = lines[group * 4];
        EXPECT_EQ(rmc.rfind("$GPRMC,", 0), 0u) << rmc;
        EXPECT_THAT(rmc, HasSubstr(",N,00000.0000,E,16.20,0.0,")) << rmc;
        EXPECT_EQ(lines[group * 4 + 1].rfind("$GPGGA,", 0), 0u);
        EXPECT_EQ(lines[group * 4 + 2], "$GPGSA,A,3,01,02,03,04,,,,,,,,,1.5,1.0,1.1*33");
        EXPECT_EQ(lines[group * 4 + 3], "$GPGSV,1,1,04,01,30,000,35,02,40,090,40,03,50,180,45,04,60,270,50*7E");
        // 30 km/h north: 8.33 m a second, 0.0045 minutes of latitude.
        const double minutes = std::stod(rmc.substr(rmc.find(",A,") + 5, 7));
        EXPECT_NEAR(minutes, 0.0045 * (group + 1), 0.00011) << rmc;
        EXPECT_GT(minutes, previousLatitude);
        previousLatitude = minutes;
    }

    const std::string saved = ReadFile(ini);
    EXPECT_EQ(saved.rfind("[Tolvex]", 0), 0u) << saved;
    EXPECT_THAT(saved, HasSubstr("Version=0.3.1"));
    EXPECT_THAT(saved, HasSubstr("\nSpeed=30.0000000000000"));  // km/h, up to the ÷3.6 ×3.6 rounding
    EXPECT_THAT(saved, ::testing::Not(HasSubstr("BackColorRGB")));
    const std::string err = ReadFile(dir / "err.txt");
    EXPECT_THAT(err, HasSubstr("\nCOM3 " + (vdir / "COM3").string() + " -> /dev/pts/"));
    EXPECT_THAT(err, HasSubstr("settings saved to " + ini.string()));
    EXPECT_THAT(err, HasSubstr("output 1 virtual COM3: 3 groups sent\ntolvex: standard output: 3 groups sent\n"));
    EXPECT_FALSE(fs::exists(vdir / "COM3")) << "the virtual port must be removed at close";
}

TEST_F(RunCommand, StartsWhereTheOptionsSayAndKeepsHandSetKeys)
{
    const fs::path ini = dir / "Tolvex.ini";
    {
        std::ofstream out(ini);
        out << "; kept\n[Tolvex]\nBackColorRGB=112233\nOutput1Active=0\n[Other]\nx=1\n";
    }
    const Result r = RunTolvex("run --stdout --seconds 1 --lat -33.8688 --lon -70.6693 --alt 12.3 --speed 100 "
                               "--course 90 --config " + ini.string(),
                               dir / "err.txt");
    ASSERT_EQ(r.Status, 0) << ReadFile(dir / "err.txt");
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 4u) << r.Out;  // output 1 inactive: still mirrored at its interval
    EXPECT_THAT(lines[0], HasSubstr(",3352.1280,S,0704"));
    EXPECT_THAT(lines[0], HasSubstr(",W,54.00,90.0,"));
    EXPECT_THAT(lines[1], HasSubstr(",12.3,M,"));
    const std::string saved = ReadFile(ini);
    EXPECT_THAT(saved, HasSubstr("; kept"));
    EXPECT_THAT(saved, HasSubstr("BackColorRGB=112233"));
    EXPECT_THAT(saved, HasSubstr("[Other]"));
    EXPECT_THAT(saved, HasSubstr("Course=90.000000000000000"));
}

TEST_F(RunCommand, ReplaysATrackPointByPointAndPausesAtItsEnd)
{
    const std::string track = std::string(TOLVEX_TEST_DATA) + "/plt/minimal.plt";
    const Result r = RunTolvex("run --stdout --seconds 6 --track " + track + " --mode P --config " +
                                   (dir / "t.ini").string() + " --virtual-dir " + (dir / "ports").string(),
                               dir / "err.txt");
    ASSERT_EQ(r.Status, 0) << ReadFile(dir / "err.txt");
    std::vector<std::string> rmc;
    for (const auto& line : Lines(r.Out))
        if (line.rfind("$GPRMC,", 0) == 0) rmc.push_back(line);
    ASSERT_EQ(rmc.size(), 6u) << r.Out;
    const char* positions[] = {"4806.0000,N,01130.0000,E", "4806.0600,N,01130.0600,E", "4806.1200,N,01130.1200,E",
                               "4806.1800,N,01130.1800,E"};
    for (int i = 0; i < 4; ++i) EXPECT_THAT(rmc[i], HasSubstr(positions[i])) << i;
    // The step after the last point finds the end: its sentences still go out, then the simulator
    // pauses and the fix stands on the last point at speed 0.
    EXPECT_THAT(rmc[4], HasSubstr(positions[3]));
    EXPECT_THAT(rmc[4], ::testing::Not(HasSubstr(",E,0.00,")));
    EXPECT_THAT(rmc[5], HasSubstr(positions[3]));
    EXPECT_THAT(rmc[5], HasSubstr(",E,0.00,"));
    EXPECT_THAT(ReadFile(dir / "err.txt"), HasSubstr("1 segment, 4 points, mode P"));
}

// What scripts use to check a setup, and the start-up benchmark to time one.
TEST_F(RunCommand, ZeroSecondsStartsSavesAndClosesWithoutATick)
{
    const fs::path ini = dir / "Tolvex.ini";
    const Result r = RunTolvex("run --stdout --seconds 0 --config " + ini.string() + " --virtual-dir " +
                                   (dir / "ports").string(),
                               dir / "err.txt");
    ASSERT_EQ(r.Status, 0) << ReadFile(dir / "err.txt");
    EXPECT_EQ(r.Out, "");
    EXPECT_THAT(ReadFile(dir / "err.txt"), HasSubstr("settings saved to " + ini.string()));
}

TEST_F(RunCommand, AnUnreadableTrackFailsWithItsMessage)
{
    const Result r = RunTolvex("run --seconds 1 --track " + (dir / "none.plt").string() + " --config " +
                                   (dir / "t.ini").string() + " --virtual-dir " + (dir / "ports").string(),
                               dir / "err.txt");
    EXPECT_NE(r.Status, 0);
    EXPECT_THAT(ReadFile(dir / "err.txt"), HasSubstr("none.plt"));
}

// A timed road of four points, about 460 m, as a GPX file.
void WriteRoad(const fs::path& path)
{
    std::ofstream(path) << R"(<?xml version="1.0"?>
<gpx><trk><trkseg>
<trkpt lat="31.2000" lon="121.4000"><time>2009-10-11T12:00:00Z</time></trkpt>
<trkpt lat="31.2010" lon="121.4000"><time>2009-10-11T12:00:05.5Z</time></trkpt>
<trkpt lat="31.2020" lon="121.4010"><time>2009-10-11T12:00:12Z</time></trkpt>
<trkpt lat="31.2030" lon="121.4030"><time>2009-10-11T12:00:20Z</time></trkpt>
</trkseg></trk></gpx>
)";
}

// "lat,N,lon,E|speed,course" of every RMC sentence: what a replay decides.
std::vector<std::string> RmcMotion(const std::string& text)
{
    std::vector<std::string> motion;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("$GPRMC,", 0) != 0) continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (f.size() < 9) continue;
        motion.push_back(f[3] + "," + f[4] + "," + f[5] + "," + f[6] + "|" + f[7] + "," + f[8]);
    }
    return motion;
}

TEST_F(RunCommand, ReplayOptionsGiveWhatTheExportOfTheSameOptionsWrites)
{
    const fs::path road = dir / "road.gpx";
    WriteRoad(road);
    const std::string common = " --config " + (dir / "none.ini").string();
    for (const std::string options : {"--mode M --speed 400", "--mode P --reverse"}) {
        const Result run = RunTolvex("run --stdout --no-save --exit-at-end --virtual-dir " + (dir / "ports").string() +
                                         " --track " + road.string() + " " + options + common,
                                     dir / "err.txt");
        const std::string err = ReadFile(dir / "err.txt");
        ASSERT_EQ(run.Status, 0) << options << "\n" << err;
        EXPECT_THAT(err, HasSubstr("track ended at point 4 of segment 1, paused")) << options;
        const Result exported = RunTolvex("export " + road.string() + " -o " + (dir / "out.nmea").string() +
                                              " --sentences RMC " + options + common,
                                          dir / "export.txt");
        ASSERT_EQ(exported.Status, 0) << ReadFile(dir / "export.txt");
        std::vector<std::string> live = RmcMotion(run.Out);
        const std::vector<std::string> file = RmcMotion(ReadFile(dir / "out.nmea"));
        // The live replay finds the end one step later, on the last point, and sends that step too.
        ASSERT_GE(live.size(), 3u) << options << "\n" << run.Out;
        const auto place = [](const std::string& m) { return m.substr(0, m.find('|')); };
        EXPECT_EQ(place(live.back()), place(live[live.size() - 2])) << options;
        live.pop_back();
        EXPECT_EQ(live, file) << options;
    }
    EXPECT_FALSE(fs::exists(dir / "none.ini")) << "--no-save leaves the settings file alone";
}

// The groups of a 200 ms output carry distinct times, each a fifth of a second, and leave when
// the time they carry comes.
TEST_F(RunCommand, FiveGroupsASecondCarryTheirOwnMilliseconds)
{
    const fs::path ini = dir / "Tolvex.ini";
    std::ofstream(ini) << "[Tolvex]\nOutput1Active=0\nOutput1Interval=200\n";
    const std::string command = std::string(TOLVEX_BINARY) + " run --stdout --no-save --seconds 3 --config " +
                                ini.string() + " 2>" + (dir / "err.txt").string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<double> carried, late;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const double arrived = std::fmod(std::chrono::duration<double, std::milli>(now).count(), 86400000.0);
        int h = 0, m = 0;
        double sec = 0;
        if (std::sscanf(line, "$GPRMC,%2d%2d%lf,", &h, &m, &sec) != 3) continue;
        carried.push_back((h * 3600 + m * 60 + sec) * 1000);
        late.push_back(arrived - carried.back());
    }
    ASSERT_EQ(WEXITSTATUS(pclose(pipe)), 0) << ReadFile(dir / "err.txt");
    ASSERT_GE(carried.size(), 14u);
    for (std::size_t i = 1; i < carried.size(); ++i) {
        if (carried[i] < carried[i - 1]) continue;  // midnight
        EXPECT_NEAR(carried[i] - carried[i - 1], 200, 0.5) << i;
    }
    std::vector<double> sorted = late;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_GE(sorted.front(), -1) << "a group never leaves before the time it carries";
    // On a quiet machine every group is within a few milliseconds; a busy one may delay a few.
    EXPECT_LE(sorted[sorted.size() / 2], 10) << "median lateness";
    EXPECT_LE(sorted.back(), 100) << "worst lateness";
}

// A run that feeds nothing says why, in Chinese and in English, and fails.
TEST_F(RunCommand, ARunThatFeedsNothingSaysWhyAndFails)
{
    const std::string ports = (dir / "ports").string();
    fs::create_directories(ports);
    // Another process holds COM3: its lock names it.
    const int lock = ::open((ports + "/COM3.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    const std::string pid = std::to_string(::getpid());
    ASSERT_EQ(::write(lock, pid.data(), pid.size()), static_cast<ssize_t>(pid.size()));
    std::ofstream(dir / "plain") << "a file\n";
    std::ofstream(dir / "real.ini") << "[Tolvex]\nOutput1Virtual=0\nOutput1Device=" << (dir / "ttyNone").string()
                                    << "\n";

    const struct {
        const char* Name;
        std::string Arguments;
        std::vector<std::string> Messages;
    } cases[] = {
        {"missing device", "--config " + (dir / "real.ini").string(),
         {"错误: 无法打开串口 COM3 (" + (dir / "ttyNone").string() + ": No such file or directory)",
          "tolvex: error: cannot open serial port COM3 (" + (dir / "ttyNone").string() + ": No such file or directory)",
          "tolvex: no output could start: nothing is fed", "output 1 COM3: 0 groups sent (failed)"}},
        {"folder unusable", "--virtual-dir " + (dir / "plain/ports").string(),
         {"错误: 无法创建虚拟串口 COM3 (" + (dir / "plain/ports").string() + ": Not a directory)",
          "tolvex: error: cannot create virtual port COM3 (" + (dir / "plain/ports").string() + ": Not a directory)",
          "tolvex: no output could start"}},
        {"port held", "--virtual-dir " + ports,
         {"无法创建虚拟串口 COM3 (held by ", "process " + pid + ")", "cannot create virtual port COM3 (held by "}},
        {"settings folder missing", "--config " + (dir / "none/Tolvex.ini").string(),
         {"cannot keep settings in " + (dir / "none/Tolvex.ini").string() + " (" + (dir / "none").string() +
          ": No such file or directory)"}},
    };
    for (const auto& c : cases) {
        const bool saves = c.Arguments.find("none/") != std::string::npos;
        const Result r = RunTolvex("run --seconds 5 " + std::string(saves ? "" : "--no-save ") + c.Arguments,
                                   dir / "err.txt");
        const std::string err = ReadFile(dir / "err.txt");
        EXPECT_EQ(r.Status, 1) << c.Name << "\n" << err;
        for (const std::string& message : c.Messages) EXPECT_THAT(err, HasSubstr(message)) << c.Name;
    }
    ::close(lock);
    EXPECT_EQ(RunTolvex("run --bogus", dir / "err.txt").Status, 2) << "a command line not understood";
    EXPECT_EQ(RunTolvex("--version", dir / "err.txt").Out, "tolvex 0.3.1\n");
}

TEST_F(RunCommand, RejectsOptionsOutOfRange)
{
    const Result r = RunTolvex("run --seconds 1 --lat 91 --config " + (dir / "x.ini").string(), dir / "err.txt");
    EXPECT_NE(r.Status, 0);
    EXPECT_FALSE(fs::exists(dir / "x.ini"));
}

// Files that are not what their names say: each is refused at once with its cause, and points
// off the globe are counted, not loaded.
TEST_F(RunCommand, HostileFilesAreRefusedOrCounted)
{
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo.plt").c_str(), 0600), 0);
    fs::create_directory(dir / "folder.gpx");
    fs::create_symlink("/dev/zero", dir / "zero.trk");
    std::ofstream(dir / "big.ini") << std::string(2 << 20, ';');
    std::ofstream(dir / "odd.plt") << "h\nh\nh\nh\nh\nh\n48.1,11.5\n1e400,11.5\n48.2,11.6\n100,0\n48.3,11.7\n";
    const std::string config = " --config " + (dir / "t.ini").string();
    struct Case {
        const char* name;
        std::string args;
        const char* error;
    } cases[] = {
        {"settings FIFO", "info " + (dir / "odd.plt").string() + " --config " + (dir / "fifo.ini").string(),
         "not a regular file"},
        {"settings too large", "info " + (dir / "odd.plt").string() + " --config " + (dir / "big.ini").string(),
         "too large"},
        {"track FIFO", "info " + (dir / "fifo.plt").string() + config, "不是有效的OZI plt文件"},
        {"track folder", "info " + (dir / "folder.gpx").string() + config, "载入GPX文件失败"},
        {"track device", "export " + (dir / "zero.trk").string() + " -o " + (dir / "x.nmea").string() + config,
         "不是有效的trk文件"},
        {"run with a FIFO as settings", "run --seconds 1 --config " + (dir / "fifo.ini").string(), "fifo.ini"},
    };
    for (const Case& c : cases) {
        const Result r = RunTolvex(c.args, dir / "err.txt");
        EXPECT_NE(r.Status, 0) << c.name;
        EXPECT_THAT(ReadFile(dir / "err.txt"), HasSubstr(c.error)) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir / "x.nmea"));

    const Result info = RunTolvex("info " + (dir / "odd.plt").string() + config, dir / "err.txt");
    ASSERT_EQ(info.Status, 0) << ReadFile(dir / "err.txt");
    EXPECT_THAT(info.Out, HasSubstr("3 points"));
    EXPECT_THAT(info.Out, HasSubstr("2 points skipped"));
}

// An export cut short by a signal or a kill leaves no partial file and no temporary behind.
TEST_F(RunCommand, InterruptedExportLeavesNothingBehind)
{
    // Pole to pole at half a kilometre an hour: an export far longer than the time it is given.
    std::ofstream(dir / "long.plt") << "h\nh\nh\nh\nh\nh\n-80,110\n80,110\n";
    for (const char* signal : {"INT", "TERM", "KILL"}) {
        const std::string command = "timeout -s " + std::string(signal) + " 0.5 " + TOLVEX_BINARY + " export " +
                                    (dir / "long.plt").string() + " -o " + (dir / "out.nmea").string() +
                                    " --mode M --speed 0.5 --config " + (dir / "t.ini").string() + " 2>/dev/null";
        EXPECT_NE(std::system(command.c_str()), 0) << signal;
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        EXPECT_THAT(names, ::testing::UnorderedElementsAre("long.plt")) << signal;
    }
}

}  // namespace
