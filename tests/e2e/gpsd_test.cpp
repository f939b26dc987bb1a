// gpsd, an independent NMEA reader, reads a virtual COM port fed by the headless runner.
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sky/sky_model.h"
#include "read_file.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double Latitude = 31.2304;
constexpr double Longitude = 121.4737;
constexpr double Altitude = 25.5;
constexpr double SpeedKmh = 36;  // 10 m/s
constexpr double Course = 90;    // due east: the latitude stays, the longitude grows
constexpr int RunSeconds = 30;

bool Installed(const char* program)
{
    for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"}) {
        if (::access((std::string(dir) + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

int FreeTcpPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(s);
    return port;
}

// A child process with its standard error in a file; terminated and reaped on destruction.
class Child {
public:
    Child(std::vector<std::string> args, const fs::path& errFile)
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, 2);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Child() { Stop(); }
    pid_t Pid() const { return m_pid; }
    // SIGTERM and wait; the exit code, or -1 when it did not exit normally.
    int Stop()
    {
        if (m_pid <= 0) return m_status;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

std::string Capture(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

using tolvex::e2e::ReadFile;

// The number after "key": in one JSON report line; gpsd writes flat numbers, no nesting needed.
std::optional<double> Number(const std::string& line, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = line.find(tag);
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(line.c_str() + at + tag.size(), nullptr);
}

// The first gpsd report with a 3-D fix and the altitude of GGA; empty, after saying why, when
// none came.
std::string FirstFullTpv(int gpsdPort, const fs::path& dir)
{
    // gpsd may not listen yet on the first attempt.
    std::string reports;
    for (int attempt = 0; attempt < 20 && reports.find("\"class\":\"TPV\"") == std::string::npos; ++attempt) {
        std::this_thread::sleep_for(250ms);
        reports = Capture("timeout 15 gpspipe -w -n 10 127.0.0.1:" + std::to_string(gpsdPort) + " 2>/dev/null");
    }
    std::istringstream lines(reports);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"class\":\"TPV\"") != std::string::npos && Number(line, "mode") == 3.0 &&
            Number(line, "altMSL").has_value())
            return line;
    }
    ADD_FAILURE() << "gpspipe gave:\n" << reports << "\ngpsd said:\n" << ReadFile(dir / "gpsd.err")
                  << "\ntolvex said:\n" << ReadFile(dir / "tolvex.err");
    return {};
}

void ExpectConfiguredFix(const std::string& tpv)
{
    // Resolution of the sentences: 0.0001 minute of arc, 0.1 m, 0.01 knot, 0.1 degree.
    const double latitude = Number(tpv, "lat").value_or(NAN);
    const double longitude = Number(tpv, "lon").value_or(NAN);
    EXPECT_NEAR(latitude, Latitude, 2e-6) << tpv;
    // Driving east at 10 m/s for at most the whole run moves the fix by less than this.
    const double drift = 10.0 * RunSeconds / (111320.0 * std::cos(Latitude * M_PI / 180));
    EXPECT_GE(longitude, Longitude - 2e-6) << tpv;
    EXPECT_LE(longitude, Longitude + drift) << tpv;
    EXPECT_NEAR(Number(tpv, "altMSL").value_or(NAN), Altitude, 0.05) << tpv;
    EXPECT_NEAR(Number(tpv, "speed").value_or(NAN), SpeedKmh / 3.6, 0.01) << tpv;
    EXPECT_NEAR(Number(tpv, "track").value_or(NAN), Course, 0.05) << tpv;
}

void WriteFixSettings(const fs::path& ini)
{
    std::ofstream out(ini, std::ios::binary);
    out << "[Tolvex]\r\nLatitude=" << Latitude << "\r\nLongitude=" << Longitude << "\r\nAltitude=" << Altitude
        << "\r\nSpeed=" << SpeedKmh << "\r\nCourse=" << Course
        << "\r\nOutput1Active=1\r\nOutput1Virtual=1\r\nOutput1Port=3\r\nOutput1Interval=1000\r\n";
}

class GpsdPeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Installed("gpsd") || !Installed("gpspipe")) GTEST_SKIP() << "gpsd is not installed";
        dir = fs::temp_directory_path() / ("tolvex-gpsd-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(GpsdPeer, ReportsTheConfiguredFixFromTheVirtualPort)
{
    const fs::path ini = dir / "Tolvex.ini";
    WriteFixSettings(ini);
    const fs::path ports = dir / "ports";
    const fs::path link = ports / "COM3";
    Child tolvex({TOLVEX_BINARY, "run", "--config", ini.string(), "--virtual-dir", ports.string(), "--seconds",
                  std::to_string(RunSeconds)},
                 dir / "tolvex.err");
    for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::is_symlink(link)) << ReadFile(dir / "tolvex.err");

    const int port = FreeTcpPort();
    ASSERT_GT(port, 0);
    Child gpsd({"gpsd", "-N", "-n", "-b", "-S", std::to_string(port), "-F", (dir / "gpsd.sock").string(),
                link.string()},
               dir / "gpsd.err");

    const std::string tpv = FirstFullTpv(port, dir);
    ASSERT_FALSE(tpv.empty());
    ExpectConfiguredFix(tpv);

    gpsd.Stop();
    EXPECT_EQ(tolvex.Stop(), 0) << ReadFile(dir / "tolvex.err");
    EXPECT_FALSE(fs::is_symlink(link)) << "closing must remove the virtual port";
}

// The system gpsd runs as its own user in group dialout: it opens our terminal as it opens a real
// serial port, through the link in a folder it may pass but not list.
TEST_F(GpsdPeer, GpsdAsAnotherUserInGroupDialoutReadsTheVirtualPort)
{
    if (::geteuid() != 0 || ::getpwnam("gpsd") == nullptr || ::getgrnam("dialout") == nullptr ||
        !Installed("setpriv"))
        GTEST_SKIP() << "needs root, the gpsd user and group dialout";
    const gid_t dialout = ::getgrnam("dialout")->gr_gid;
    const fs::path ini = dir / "Tolvex.ini";
    std::ofstream(ini) << "[Tolvex]\nLatitude=" << Latitude << "\nLongitude=" << Longitude << "\nOutput1Active=1\n";
    const fs::path ports = dir / "ports";
    const fs::path link = ports / "COM3";
    Child tolvex({TOLVEX_BINARY, "run", "--no-save", "--config", ini.string(), "--virtual-dir", ports.string(),
                  "--seconds", "20"},
                 dir / "tolvex.err");
    for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::is_symlink(link)) << ReadFile(dir / "tolvex.err");
    struct stat st {};
    ASSERT_EQ(::stat(ports.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0711u);
    ASSERT_EQ(::stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, dialout);
    EXPECT_EQ(st.st_mode & 0777, 0660u);

    const int port = FreeTcpPort();
    ASSERT_GT(port, 0);
    Child gpsd({"setpriv", "--reuid=gpsd", "--regid=dialout", "--clear-groups", "gpsd", "-N", "-n", "-b", "-S",
                std::to_string(port), link.string()},
               dir / "gpsd.err");
    std::string reports;
    for (int attempt = 0; attempt < 20 && reports.find("\"mode\":3") == std::string::npos; ++attempt) {
        std::this_thread::sleep_for(250ms);
        reports = Capture("timeout 10 gpspipe -w -n 8 127.0.0.1:" + std::to_string(port) + " 2>/dev/null");
    }
    EXPECT_NE(reports.find("\"mode\":3"), std::string::npos)
        << "gpspipe gave:\n" << reports << "\ngpsd said:\n" << ReadFile(dir / "gpsd.err");
    EXPECT_EQ(ReadFile(dir / "gpsd.err").find("Permission denied"), std::string::npos) << ReadFile(dir / "gpsd.err");
    gpsd.Stop();
    EXPECT_EQ(tolvex.Stop(), 0) << ReadFile(dir / "tolvex.err");
}


// gpsd as the client of a TCP server output and as the listener of a UDP output, each set for
// this run only: the settings file still names the virtual port afterwards.
class GpsdNetwork : public GpsdPeer, public ::testing::WithParamInterface<const char*> {};

TEST_P(GpsdNetwork, ReportsTheConfiguredFix)
{
    const std::string kind = GetParam();
    const fs::path ini = dir / "Tolvex.ini";
    WriteFixSettings(ini);
    const int nmeaPort = FreeTcpPort();
    const int gpsdPort = FreeTcpPort();
    ASSERT_GT(nmeaPort, 0);
    ASSERT_NE(nmeaPort, gpsdPort);
    const std::string address = "127.0.0.1:" + std::to_string(nmeaPort);
    const std::string output = kind == "udp" ? "udp:" + address : "tcp-listen:" + address;
    const std::string source = kind == "udp" ? "udp://" + address : "tcp://" + address;

    Child tolvex({TOLVEX_BINARY, "run", "--config", ini.string(), "--virtual-dir", (dir / "ports").string(),
                  "--seconds", std::to_string(RunSeconds), "--output", "1=" + output},
                 dir / "tolvex.err");
    // The start-up line names the real address before any client comes.
    const std::string line = (kind == "udp" ? "UDP " : "TCP ") + address + (kind == "udp" ? " sending" : " listening");
    for (int i = 0; i < 500 && ReadFile(dir / "tolvex.err").find(line) == std::string::npos; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_NE(ReadFile(dir / "tolvex.err").find(line), std::string::npos) << ReadFile(dir / "tolvex.err");

    Child gpsd({"gpsd", "-N", "-n", "-b", "-S", std::to_string(gpsdPort), "-F", (dir / "gpsd.sock").string(), source},
               dir / "gpsd.err");
    const std::string tpv = FirstFullTpv(gpsdPort, dir);
    ASSERT_FALSE(tpv.empty());
    ExpectConfiguredFix(tpv);

    gpsd.Stop();
    EXPECT_EQ(tolvex.Stop(), 0) << ReadFile(dir / "tolvex.err");
    const std::string saved = ReadFile(ini);
    EXPECT_EQ(saved.find("Output1Net"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Output1Virtual=1"), std::string::npos) << saved;
}

INSTANTIATE_TEST_SUITE_P(Outputs, GpsdNetwork, ::testing::Values("tcp-listen", "udp"));

}  // namespace

namespace tolvex {
namespace {

// gpspipe's report stream, line by line, while the test acts on the programs it watches.
class ReportStream {
public:
    explicit ReportStream(int port)
    {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], 1);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::close(fds[0]);
            const std::string server = "127.0.0.1:" + std::to_string(port);
            // Bounded, so that a peer that stops reporting fails the test instead of hanging it.
            ::execlp("timeout", "timeout", "30", "gpspipe", "-w", server.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        m_in = ::fdopen(fds[0], "r");
    }
    ~ReportStream()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_in) std::fclose(m_in);
    }
    std::optional<std::string> Next()
    {
        char line[8192];
        if (!m_in || !std::fgets(line, sizeof line, m_in)) return std::nullopt;
        return std::string(line);
    }

private:
    pid_t m_pid = -1;
    std::FILE* m_in = nullptr;
};

std::optional<std::int64_t> ReportTime(const std::string& line)
{
    const std::size_t at = line.find("\"time\":\"");
    if (at == std::string::npos) return std::nullopt;
    std::tm tm{};
    if (!::strptime(line.c_str() + at + 8, "%Y-%m-%dT%H:%M:%S", &tm)) return std::nullopt;
    return static_cast<std::int64_t>(::timegm(&tm));
}

// Each {...} of the "satellites" list of a SKY report.
std::vector<std::string> SkySatellites(const std::string& line)
{
    std::vector<std::string> satellites;
    std::size_t at = line.find("\"satellites\":[");
    while (at != std::string::npos) {
        const std::size_t open = line.find('{', at);
        if (open == std::string::npos) break;
        const std::size_t close = line.find('}', open);
        satellites.push_back(line.substr(open, close - open + 1));
        at = close;
    }
    return satellites;
}

// `tolvex ctl` with the words given; true on an ok reply.
bool Ctl(const fs::path& socket, const std::string& words)
{
    const std::string command =
        std::string(TOLVEX_BINARY) + " ctl --control unix:" + socket.string() + " " + words + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// gpsd reads the realistic receiver: its SKY report holds the satellites the sky model puts over
// the fix, with their signal strengths and used flags; the fix lost and restored on request (a
// signal, the control channel) and by a mask raised above the sky shows as TPV mode 1 and then 3.
TEST_F(GpsdPeer, ReadsTheSkyAndTheLossAndRecoveryOfTheFix)
{
    const fs::path ini = dir / "Tolvex.ini";
    {
        std::ofstream out(ini, std::ios::binary);
        out << "[Tolvex]\r\nOutput1Active=1\r\nOutput1Virtual=1\r\nOutput1Port=3\r\nOutput1Interval=1000\r\n";
    }
    const fs::path link = dir / "ports" / "COM3";
    Child runner({TOLVEX_BINARY, "run", "--config", ini.string(), "--virtual-dir", (dir / "ports").string(),
                  "--seconds", "90", "--lat", std::to_string(Latitude), "--lon", std::to_string(Longitude), "--alt",
                  "0", "--speed", "0", "--sky", "--systems", "gps,glonass", "--noise", "3", "--seed", "5", "--control",
                  "unix:" + (dir / "control").string()},
                 dir / "tolvex.err");
    for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::is_symlink(link)) << ReadFile(dir / "tolvex.err");
    const int port = FreeTcpPort();
    Child gpsd({"gpsd", "-N", "-n", "-b", "-S", std::to_string(port), "-F", (dir / "gpsd.sock").string(), link.string()},
               dir / "gpsd.err");

    SkySettings settings;
    settings.Enabled = true;
    settings.Systems = SystemBit(GnssSystem::Gps) | SystemBit(GnssSystem::Glonass);
    SkyModel model;
    model.Configure(settings);
    SimFix fix;
    fix.Latitude = Latitude;
    fix.Longitude = Longitude;

    enum Phase { WaitFix, WaitLoss, WaitRecovery, WaitMaskLoss, WaitMaskRecovery, Done } phase = WaitFix;
    std::string log;
    std::optional<std::int64_t> time;
    bool skyChecked = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (int attempt = 0; attempt < 20 && phase != Done && std::chrono::steady_clock::now() < deadline; ++attempt) {
        std::this_thread::sleep_for(250ms);
        ReportStream reports(port);
        while (phase != Done) {
            const std::optional<std::string> line = reports.Next();
            if (!line) break;
            log += *line;
            const bool tpv = line->find("\"class\":\"TPV\"") != std::string::npos;
            if (tpv && ReportTime(*line)) time = ReportTime(*line);
            const double mode = tpv ? Number(*line, "mode").value_or(-1) : -1;
            if (phase == WaitFix && line->find("\"class\":\"SKY\"") != std::string::npos && time &&
                Number(*line, "uSat").value_or(0) > 0 && !skyChecked) {
                const SkyView& view = model.Observe(fix, static_cast<double>(*time));
                const std::vector<std::string> satellites = SkySatellites(*line);
                // gpsd may report before every GSV of the cycle arrived; the whole sky comes in the next ones.
                if (satellites.size() < view.Satellites.size()) continue;
                EXPECT_EQ(satellites.size(), view.Satellites.size()) << *line;
                for (const std::string& sat : satellites) {
                    const int prn = static_cast<int>(Number(sat, "PRN").value_or(-1));
                    const auto ours = std::find_if(view.Satellites.begin(), view.Satellites.end(), [&](auto& s) {
                        return s.Prn == prn && (s.System == GnssSystem::Glonass) == (prn >= 65);
                    });
                    ASSERT_NE(ours, view.Satellites.end()) << sat;
                    EXPECT_NEAR(Number(sat, "el").value_or(NAN), ours->Elevation, 1.0) << sat;
                    EXPECT_LT(std::fabs(std::remainder(Number(sat, "az").value_or(NAN) - ours->Azimuth, 360.0)), 1.0)
                        << sat;
                    // C/N0 rises with elevation, within the model's spread.
                    EXPECT_NEAR(Number(sat, "ss").value_or(NAN), 28 + 22 * std::sin(ours->Elevation * M_PI / 180), 3.5)
                        << sat;
                    EXPECT_NE(sat.find("\"used\":true"), std::string::npos) << sat;
                }
                EXPECT_NEAR(Number(*line, "hdop").value_or(NAN), view.Dop.HDOP, 0.11) << *line;
                EXPECT_NEAR(Number(*line, "vdop").value_or(NAN), view.Dop.VDOP, 0.11) << *line;
                skyChecked = true;
            }
            if (phase == WaitFix && skyChecked && mode == 3.0) {
                ::kill(runner.Pid(), SIGUSR1);
                phase = WaitLoss;
            } else if (phase == WaitLoss && mode == 1.0) {
                EXPECT_TRUE(Ctl(dir / "control", "fix ok"));
                phase = WaitRecovery;
            } else if (phase == WaitRecovery && mode == 3.0) {
                EXPECT_TRUE(Ctl(dir / "control", "mask 89"));
                phase = WaitMaskLoss;
            } else if (phase == WaitMaskLoss && mode == 1.0) {
                EXPECT_TRUE(Ctl(dir / "control", "mask 5"));
                phase = WaitMaskRecovery;
            } else if (phase == WaitMaskRecovery && mode == 3.0) {
                phase = Done;
            }
        }
    }
    EXPECT_TRUE(skyChecked);
    EXPECT_EQ(phase, Done) << "gpspipe gave:\n" << log << "\ngpsd said:\n" << ReadFile(dir / "gpsd.err");
    gpsd.Stop();
    EXPECT_EQ(runner.Stop(), 0) << ReadFile(dir / "tolvex.err");
}

}  // namespace
}  // namespace tolvex
