// The control channel as a test suite uses it: the real program started with --control, driven by
// a socket client and by `tolvex ctl`, checked by `status` and by the sentences on --stdout.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

using tolvex::e2e::ReadFile;

// The program in the background, its standard output on a pipe, its errors in a file.
class Program {
public:
    Program(const std::string& args, const fs::path& errFile)
    {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            const std::string command = std::string("exec ") + TOLVEX_BINARY + " " + args + " 2>" + errFile.string();
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        m_out = out[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    }
    ~Program()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
    }
    // Standard output so far.
    const std::string& Out()
    {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(m_out, buffer, sizeof buffer)) > 0) m_text.append(buffer, static_cast<std::size_t>(n));
        return m_text;
    }
    // Waits for the end: the exit status, or -1 after the timeout.
    int Wait(std::chrono::seconds timeout)
    {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            Out();
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                Out();
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
};

int ConnectUnix(const fs::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ConnectTcp(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A client of the line protocol.
class Client {
public:
    explicit Client(int fd) : m_fd(fd) {}
    ~Client()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Connected() const { return m_fd >= 0; }
    void SendRaw(const std::string& bytes) { ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
    std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        const auto end = Clock::now() + timeout;
        while (true) {
            const std::size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{m_fd, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return "<no reply>";
            char chunk[8192];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            if (n <= 0) return "<closed>";
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    std::string Ask(const std::string& line)
    {
        SendRaw(line + "\n");
        return ReadLine();
    }
    Json Status()
    {
        const std::string reply = Ask("status");
        if (reply.rfind("ok {", 0) != 0) return Json();
        return Json::parse(reply.substr(3));
    }

private:
    int m_fd;
    std::string m_buffer;
};

// Waits until the program says where it listens; "" if it does not within five seconds.
std::string ControlWhere(const fs::path& errFile)
{
    static const std::regex where("control channel on (\\S+)");
    for (int i = 0; i < 250; ++i) {
        std::smatch m;
        const std::string err = ReadFile(errFile);
        if (std::regex_search(err, m, where)) return m[1];
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

int RunCtl(const std::string& args, std::string& out)
{
    FILE* pipe = ::popen((std::string(TOLVEX_BINARY) + " ctl " + args + " 2>&1").c_str(), "r");
    char buffer[4096];
    std::size_t n;
    out.clear();
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// RMC positions ("4806.0000,N,01130.0000,E") and speeds in knots, in order.
struct Rmc {
    std::string Position;
    std::string Knots;
};
std::vector<Rmc> RmcLines(const std::string& text)
{
    static const std::regex rmc(R"(\$GPRMC,[0-9.]*,A,([0-9.]+,[NS],[0-9.]+,[EW]),([0-9.]+),)");
    std::vector<Rmc> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), rmc); it != std::sregex_iterator(); ++it)
        found.push_back({(*it)[1], (*it)[2]});
    return found;
}

class ControlChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tolvex-control-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        // A short-step replay (200 ms) keeps the runs short; output 1 is a virtual port.
        std::ofstream(dir / "Tolvex.ini") << "[Tolvex]\r\nOutput1Active=1\r\nOutput1Interval=200\r\n";
        // Six points due north, 30 m apart (0.00027° of latitude), at 48.1° N 11.5° E.
        std::ofstream gpx(dir / "road.gpx");
        gpx << "<?xml version=\"1.0\"?><gpx><trk><trkseg>";
        for (int i = 0; i < 6; ++i) gpx << "<trkpt lat=\"" << 48.1 + i * 0.00027 << "\" lon=\"11.5\"><ele>" << 500 + i << "</ele></trkpt>";
        gpx << "</trkseg></trk></gpx>";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Common() const
    {
        return "--config " + (dir / "Tolvex.ini").string() + " --virtual-dir " + (dir / "ports").string();
    }

    fs::path dir;
};

TEST_F(ControlChannel, EveryCommandThroughTheSocketAndCtl)
{
    const fs::path socket = dir / "control";
    Program tolvex("run --stdout --seconds 60 --control unix:" + socket.string() + " " + Common(), dir / "err.txt");
    ASSERT_EQ(ControlWhere(dir / "err.txt"), "unix:" + socket.string()) << ReadFile(dir / "err.txt");
    EXPECT_EQ(fs::status(socket).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    Client c(ConnectUnix(socket));
    ASSERT_TRUE(c.Connected());

    // Standing still at the goto, the next RMC carries exactly that position.
    EXPECT_EQ(c.Ask("speed 0"), "ok");
    EXPECT_EQ(c.Ask("goto 48.1 11.5 520"), "ok");
    const std::size_t seen = tolvex.Out().size();
    bool found = false;
    for (int i = 0; i < 100 && !found; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        found = tolvex.Out().find("4806.0000,N,01130.0000,E", seen) != std::string::npos;
    }
    EXPECT_TRUE(found) << tolvex.Out().substr(seen);

    // Free driving, favourites and outputs, read back through status.
    for (const char* line : {"course 45", "turn -90", "alt 12.5", "step N 100", "save-favourite 3 home, north",
                             "output 2 on", "pause", "speed 80"})
        EXPECT_EQ(c.Ask(line).substr(0, 2), "ok") << line;
    Json s = c.Status();
    EXPECT_EQ(s["state"], "paused");
    EXPECT_EQ(s["fix"]["course"], 315.0);
    EXPECT_EQ(s["fix"]["alt"], 12.5);
    EXPECT_NEAR(s["fix"]["lat"].get<double>(), 48.101, 1e-9);
    EXPECT_NEAR(s["fix"]["saved_speed_kmh"].get<double>(), 80, 1e-9);
    EXPECT_EQ(s["outputs"][2]["state"], "open");
    EXPECT_EQ(s["outputs"][1]["kind"], "virtual");
    for (const char* line : {"run", "goto 0 0", "favourite 3", "output 2 off"}) EXPECT_EQ(c.Ask(line).substr(0, 2), "ok") << line;
    s = c.Status();
    EXPECT_EQ(s["state"], "running");
    EXPECT_NEAR(s["fix"]["lat"].get<double>(), 48.101, 1e-4);
    EXPECT_EQ(s["outputs"][2]["state"], "closed");

    // A track: load, mode, ratio, reverse, offset, loop, segment and point.
    EXPECT_EQ(c.Ask("load " + (dir / "road.gpx").string()), "ok {\"segments\":1,\"points\":6,\"mode\":\"P\"}");
    for (const char* line : {"mode M", "ratio 2", "reverse on", "offset -7.5", "loop file", "segment 1", "point 4"})
        EXPECT_EQ(c.Ask(line).substr(0, 2), "ok") << line;
    s = c.Status();
    EXPECT_EQ(s["mode"], "M");
    EXPECT_EQ(s["track"]["file"], (dir / "road.gpx").string());
    EXPECT_EQ(s["track"]["point"], 4);
    EXPECT_EQ(s["track"]["reverse"], true);
    EXPECT_EQ(s["track"]["loop"], "file");
    EXPECT_EQ(s["track"]["offset"], -7.5);
    EXPECT_EQ(s["track"]["ratio"], 2.0);
    EXPECT_EQ(s["track"]["step_ms"], 200);

    // `tolvex ctl`: 0 with the pretty object, 1 on an error, 2 when nothing listens.
    std::string out;
    EXPECT_EQ(RunCtl("--control unix:" + socket.string() + " status", out), 0);
    EXPECT_NE(out.find("\n  \"state\": \"running\""), std::string::npos) << out;
    EXPECT_EQ(RunCtl("--control unix:" + socket.string() + " speed fast", out), 1);
    EXPECT_NE(out.find("KMH 'fast' is not a number"), std::string::npos) << out;
    EXPECT_EQ(RunCtl("--control unix:" + (dir / "none").string() + " status", out), 2);
    EXPECT_NE(out.find("nothing listens"), std::string::npos) << out;

    // stop, then quit: the settings are saved as at the window's close.
    EXPECT_EQ(c.Ask("stop"), "ok {\"state\":\"stopped\",\"mode\":\"M\"}");
    EXPECT_EQ(RunCtl("--control unix:" + socket.string() + " quit", out), 0);
    EXPECT_EQ(tolvex.Wait(std::chrono::seconds(10)), 0) << ReadFile(dir / "err.txt");
    EXPECT_NE(ReadFile(dir / "Tolvex.ini").find("FavoritePoint3=home- north,48.1010"), std::string::npos);
    EXPECT_FALSE(fs::exists(socket));
}

// load, M at 80 km/h, a pause at point 3 for two seconds, on to the end: the positions sent are
// the export's, with the pause's repeats in between.
TEST_F(ControlChannel, ScenarioMatchesTheExport)
{
    // The export steps once a second: so does this run.
    std::ofstream(dir / "Tolvex.ini") << "[Tolvex]\r\nOutput1Active=1\r\nOutput1Interval=1000\r\n";
    std::ofstream(dir / "scenario.txt") << "# the road at 80 km/h\n"
                                           "load road.gpx\n"
                                           "mode M\n"
                                           "speed 80\n"
                                           "wait-point 3\n"
                                           "pause\n"
                                           "+2 run   # resume\n"
                                           "wait-end\n";
    Program tolvex("run --stdout --script " + (dir / "scenario.txt").string() + " " + Common(), dir / "err.txt");
    ASSERT_EQ(tolvex.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir / "err.txt");
    const std::vector<Rmc> live = RmcLines(tolvex.Out());

    const fs::path nmea = dir / "road.nmea";
    Program exporter("export " + (dir / "road.gpx").string() + " -o " + nmea.string() +
                         " --mode M --speed 80 --sentences RMC --config " + (dir / "Tolvex.ini").string(),
                     dir / "export-err.txt");
    ASSERT_EQ(exporter.Wait(std::chrono::seconds(30)), 0) << ReadFile(dir / "export-err.txt");
    const std::vector<Rmc> exported = RmcLines(ReadFile(nmea));
    ASSERT_GE(exported.size(), 8u);

    std::vector<std::string> moved;
    int longestStand = 0;
    for (std::size_t i = 0, stand = 0; i < live.size(); ++i) {
        if (!moved.empty() && moved.back() == live[i].Position) {
            if (live[i].Knots == "0.00") longestStand = std::max(longestStand, static_cast<int>(++stand));
            continue;
        }
        stand = 0;
        moved.push_back(live[i].Position);
    }
    std::vector<std::string> expected;
    for (const Rmc& r : exported)
        if (expected.empty() || expected.back() != r.Position) expected.push_back(r.Position);
    EXPECT_EQ(moved, expected);
    // Two seconds of pause at a step a second, reporting speed 0.
    EXPECT_GE(longestStand, 2);
    EXPECT_EQ(live.back().Position, exported.back().Position);  // it ended on the last point
}

TEST_F(ControlChannel, BadInputLeavesTheRunAlone)
{
    Program tolvex("run --stdout --seconds 4 --control tcp:127.0.0.1:0 " + Common(), dir / "err.txt");
    const std::string where = ControlWhere(dir / "err.txt");
    ASSERT_EQ(where.rfind("tcp:127.0.0.1:", 0), 0u) << ReadFile(dir / "err.txt");
    const int port = std::stoi(where.substr(14));
    Client c(ConnectTcp(port));
    ASSERT_TRUE(c.Connected());

    EXPECT_EQ(c.Ask("jump 3"), "error unknown command 'jump'");
    EXPECT_EQ(c.Ask("goto 48.1"), "error goto: missing argument (usage: goto LAT LON [ALT])");
    EXPECT_EQ(c.Ask("speed 8O"), "error speed: KMH '8O' is not a number (usage: speed KMH)");
    EXPECT_EQ(c.Ask("course NaN"), "error course: DEG must be a finite number (usage: course DEG)");
    // A megabyte without a line end: one error when the line finally ends, then business as usual.
    c.SendRaw(std::string(1 << 20, 'x') + "\n");
    EXPECT_EQ(c.ReadLine(), "error line longer than 4096 bytes");
    EXPECT_EQ(c.Ask("goto 10 20"), "ok");

    {
        // A client that leaves in the middle of a line: the half line is dropped, not run.
        Client gone(ConnectTcp(port));
        gone.SendRaw("goto 50");
    }
    {
        // One that floods commands and never reads its replies is dropped once they pile up.
        Client flood(ConnectTcp(port));
        const std::string burst = [] {
            std::string s;
            for (int i = 0; i < 2000; ++i) s += "status\n";
            return s;
        }();
        flood.SendRaw(burst);
    }
    std::vector<std::unique_ptr<Client>> crowd;
    for (int i = 0; i < 20; ++i) {
        crowd.push_back(std::make_unique<Client>(ConnectTcp(port)));
        ASSERT_TRUE(crowd.back()->Connected());
        crowd.back()->SendRaw("status\n");
    }
    for (auto& client : crowd) {
        const std::string reply = client->ReadLine();
        ASSERT_EQ(reply.rfind("ok {", 0), 0u) << reply;
        EXPECT_NEAR(Json::parse(reply.substr(3))["fix"]["lat"].get<double>(), 10, 0.01);
    }

    // The run kept its cadence: an RMC every 200 ms for four seconds, and ended normally.
    EXPECT_EQ(tolvex.Wait(std::chrono::seconds(20)), 0) << ReadFile(dir / "err.txt");
    EXPECT_EQ(RmcLines(tolvex.Out()).size(), 20u) << tolvex.Out();
}

}  // namespace
