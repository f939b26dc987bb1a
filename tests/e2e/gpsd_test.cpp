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

#include <chrono>
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

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The number after "key": in one JSON report line; gpsd writes flat numbers, no nesting needed.
std::optional<double> Number(const std::string& line, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = line.find(tag);
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(line.c_str() + at + tag.size(), nullptr);
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
    {
        std::ofstream out(ini, std::ios::binary);
        out << "[Tolvex]\r\nLatitude=" << Latitude << "\r\nLongitude=" << Longitude << "\r\nAltitude=" << Altitude
            << "\r\nSpeed=" << SpeedKmh << "\r\nCourse=" << Course
            << "\r\nOutput1Active=1\r\nOutput1Virtual=1\r\nOutput1Port=3\r\nOutput1Interval=1000\r\n";
    }
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

    // gpsd may not listen yet on the first attempt.
    std::string reports;
    for (int attempt = 0; attempt < 20 && reports.find("\"class\":\"TPV\"") == std::string::npos; ++attempt) {
        std::this_thread::sleep_for(250ms);
        reports = Capture("timeout 15 gpspipe -w -n 10 127.0.0.1:" + std::to_string(port) + " 2>/dev/null");
    }

    std::string tpv;  // the first report with a 3-D fix and the altitude of GGA
    std::istringstream lines(reports);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"class\":\"TPV\"") != std::string::npos && Number(line, "mode") == 3.0 &&
            Number(line, "altMSL").has_value()) {
            tpv = line;
            break;
        }
    }
    ASSERT_FALSE(tpv.empty()) << "gpspipe gave:\n" << reports << "\ngpsd said:\n" << ReadFile(dir / "gpsd.err");

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

}  // namespace
