#include "config/settings_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/file_io.h"
#include "settings_expect.h"

namespace tolvex {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

// The keys SaveSettings writes, in the order it writes them.
std::vector<std::string> SavedKeyOrder()
{
    std::vector<std::string> keys = {"Version", "Latitude", "Longitude", "Altitude", "Speed", "Course", "AlwaysOnTop",
                                     "Text1ColorRGB", "Text2ColorRGB", "Text3ColorRGB", "FontFaceName", "OziActive",
                                     "OziNoNMEA", "OziInterval", "OziRMC", "OziGGA", "OziGSA", "OziGSV", "OziGLL",
                                     "OziVTG"};
    for (int n = 1; n <= 3; ++n)
        for (const char* k : {"Active", "Port", "Virtual", "BaudRateIndex", "ParityIndex", "StopBitsIndex", "Interval",
                              "RMC", "GGA", "GSA", "GSV", "GLL", "VTG"})
            keys.push_back("Output" + std::to_string(n) + k);
    for (const char* k : {"GPSUpperSpeed", "GPSLowerSpeed", "GPSTimeOffset", "GPSTimeFactor", "StepIndex", "Step",
                          "LatLonFormatIndex", "KeySensitivity1", "KeySensitivity2", "KeySensitivity3",
                          "WheelSensitivity", "MinTrackPoints", "MinTrackLength", "LastTrackMode"})
        keys.push_back(k);
    for (int n = 1; n <= 20; ++n) keys.push_back("FavoritePoint" + std::to_string(n));
    keys.push_back("TimerWaits");
    keys.push_back("ChangeWaits");
    keys.push_back("MapWindowOpen");
    return keys;
}

TEST(SaveSettings, DefaultsWriteEveryKeyButBackColorInOrder)
{
    Settings s;
    SimFix fix;
    LoadSettings(IniFile{}, s, fix);
    IniFile ini;
    SaveSettings(ini, s, fix, fix.Speed);
    const std::vector<std::string> lines = Lines(ini.Serialize());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Tolvex]");
    std::vector<std::string> keys;
    for (std::size_t i = 1; i < lines.size(); ++i) keys.push_back(KeyOf(lines[i]));
    EXPECT_EQ(keys, SavedKeyOrder());

    const std::vector<std::string> expected = {
        "Version=0.3.1", "Latitude=0.000000000000000", "Speed=30.000000000000000", "Course=0.000000000000000",
        "AlwaysOnTop=0", "Text1ColorRGB=000000", "Text2ColorRGB=0000FF", "Text3ColorRGB=0000FF",
        "FontFaceName=Times New Roman", "OziInterval=500", "OziRMC=1", "OziGLL=0", "Output1Active=1",
        "Output2Active=0", "Output1Port=3", "Output2Port=15", "Output3Port=27", "Output1Virtual=1",
        "Output1BaudRateIndex=2", "Output3Interval=1000", "GPSUpperSpeed=99999.000000000000000",
        "GPSLowerSpeed=0.000000000000000", "GPSTimeFactor=1.000000000000000", "StepIndex=1",
        "Step=0.000010000000000", "KeySensitivity3=5.000000000000000", "MinTrackPoints=2", "LastTrackMode=1",
        "FavoritePoint1=未命名,0.000000000000000,0.000000000000000,0.000000,0.000000",
        "FavoritePoint20=未命名,0.000000000000000,0.000000000000000,0.000000,0.000000", "TimerWaits=0"};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
}

struct SaveCase {
    const char* Name;
    const char* Line;   // in the file before loading
    const char* Saved;  // the line SaveSettings writes for that key
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.Line; }

class SaveKey : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveKey, WritesTheValueForm)
{
    IniFile ini = IniFile::Parse(std::string("[Tolvex]\n") + GetParam().Line + "\n");
    Settings s;
    SimFix fix;
    LoadSettings(ini, s, fix);
    SaveSettings(ini, s, fix, fix.Speed);
    const std::string saved = GetParam().Saved;
    const std::vector<std::string> lines = Lines(ini.Serialize());
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const std::string& l) { return KeyOf(l) == KeyOf(saved); });
    ASSERT_NE(line, lines.end());
    EXPECT_EQ(*line, saved);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SaveKey, ::testing::Values(
    SaveCase{"Speed120", "Speed=120", "Speed=120.000000000000000"},
    SaveCase{"UpperLimitAsTyped", "GPSUpperSpeed=7.9", "GPSUpperSpeed=7.900000000000000"},
    SaveCase{"LowerLimitAsTyped", "GPSLowerSpeed=30.3", "GPSLowerSpeed=30.300000000000001"},
    SaveCase{"SpeedAbove99999", "Speed=100000", "Speed=99999.000000000000000"},
    SaveCase{"Port4", "Output1Port=4", "Output1Port=4"},
    SaveCase{"Port0Limited", "Output2Port=0", "Output2Port=1"},
    SaveCase{"LowerCaseColor", "Text1ColorRGB=ff0000", "Text1ColorRGB=FF0000"},
    SaveCase{"MixedColor", "Text3ColorRGB=00a0B1", "Text3ColorRGB=00A0B1"},
    SaveCase{"IntervalRounded", "OziInterval=1009", "OziInterval=1000"},
    SaveCase{"FavoriteSixDecimals", "FavoritePoint3=P,1,2,12.3456789,5",
             "FavoritePoint3=P,1.000000000000000,2.000000000000000,12.345679,5.000000"},
    SaveCase{"NegativeZero", "Latitude=-0", "Latitude=-0.000000000000000"},
    SaveCase{"LongRealCutToWhatIsRead", "GPSTimeOffset=1e20", "GPSTimeOffset=100000000000000000000.000000000"},
    SaveCase{"HugeRealKeepsItsValue", "GPSTimeOffset=1e40", "GPSTimeOffset=1e+40"},
    SaveCase{"FontWithBlanksQuoted", "FontFaceName=\" Sans \"", "FontFaceName=\" Sans \""},
    SaveCase{"CjkFont", "FontFaceName=宋体", "FontFaceName=宋体"}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST(FormatSettingReal, FitsTheReadBufferAndReadsBack)
{
    for (const double v : {0.1, -89.123456789012345, 1e15 + 0.5, 1e16, 123456789012345678.0, 1e20, -1e25, 1e30, 1e31,
                           1.2345678901234567e40, -1e300, 1.7976931348623157e308}) {
        const std::string text = FormatSettingReal(v);
        EXPECT_LE(CharCount(text), RealTextChars) << text;
        IniFile ini;
        ini.Set("Tolvex", "GPSTimeOffset", text);
        Settings s;
        SimFix fix;
        LoadSettings(ini, s, fix);
        if (std::fabs(v) >= 1e15) {
            EXPECT_EQ(s.GPSTimeOffset, v) << text;
        }
        EXPECT_EQ(FormatSettingReal(s.GPSTimeOffset), text);
    }
    EXPECT_EQ(FormatSettingReal(0.1), "0.100000000000000");
}

TEST(SaveSettings, OverlongTextsAreCutToWhatIsRead)
{
    Settings s;
    SimFix fix;
    s.FontFaceName = std::string(300, 'f');
    s.Favorites[0].Name = std::string(100, 'n');
    s.Favorites[1].Name = "a\nKey=1";
    IniFile ini;
    SaveSettings(ini, s, fix, 0);
    EXPECT_EQ(ini.Find("Tolvex", "FontFaceName"), std::string(255, 'f'));
    const IniFile back = IniFile::Parse(ini.Serialize());
    Settings loaded;
    LoadSettings(back, loaded, fix);
    EXPECT_EQ(loaded.Favorites[0].Name, std::string(63, 'n'));
    EXPECT_EQ(loaded.Favorites[1].Name, "a Key=1");
    EXPECT_FALSE(back.Find("Tolvex", "Key").has_value());
}

// --- the file on disk ---------------------------------------------------------------------------

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tolvex-save-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        ::chmod(m_dir.c_str(), 0755);
        m_path = m_dir + "/Tolvex.ini";
    }
    void TearDown() override
    {
        ::chmod(m_dir.c_str(), 0755);
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }

    static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(m_dir.c_str())) {
            while (const dirent* e = ::readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
            ::closedir(d);
        }
        return names;
    }

    std::string m_dir;
    std::string m_path;
};

TEST_F(SettingsFile, MissingFileIsCreated)
{
    Settings s;
    SimFix fix;
    LoadSettings(m_path, s, fix);
    std::string error;
    ASSERT_TRUE(SaveSettings(m_path, s, fix, fix.Speed, error)) << error;
    const std::vector<std::string> lines = Lines(Read(m_path));
    ASSERT_EQ(lines.size(), SavedKeyOrder().size() + 1);
    EXPECT_EQ(lines[1], "Version=0.3.1");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tolvex.ini"});
}

TEST_F(SettingsFile, LeftoversOfAKilledSaveGoWithTheNextSave)
{
    Write(m_path + ".Ab3xY9", "left by a save that was killed");
    Write(m_path + ".Held01", "a save running now");
    Write(m_path + ".other", "not ours");
    const int held = ::open((m_path + ".Held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::string error;
    ASSERT_TRUE(SaveSettings(m_path, Settings{}, SimFix{}, 0, error)) << error;
    std::vector<std::string> names = FolderEntries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Tolvex.ini", "Tolvex.ini.Held01", "Tolvex.ini.other"}));
    ::close(held);
}

TEST_F(SettingsFile, AnUnchangedFileIsLeftAsItIsAndAChangeIsWritten)
{
    std::string error;
    Settings s;
    ASSERT_TRUE(SaveSettings(m_path, s, SimFix{}, 0, error)) << error;
    const std::string first = Read(m_path);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(m_path.c_str(), &before), 0);
    ASSERT_TRUE(SaveSettings(m_path, s, SimFix{}, 0, error)) << error;
    ASSERT_EQ(::stat(m_path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the same text must not replace the file";
    ASSERT_TRUE(SaveSettings(m_path, s, SimFix{}, 12.5, error)) << error;
    EXPECT_NE(Read(m_path), first);
}

TEST_F(SettingsFile, KeepsWhatItDoesNotWrite)
{
    const std::string original =
        "; written by hand\n"
        "[Other]\n"
        "Latitude=not ours\n"
        "\n"
        "[tolvex]\n"
        "latitude=12.5\n"
        "BackColorRGB=112233\n"
        "; keep this note\n"
        "Output1Device=/dev/ttyUSB1\n"
        "OziApiLibrary=/opt/ozi/libozi.so\n"
        "Unknown=value\n"
        "Speed=120\n"
        "\n"
        "[Last]\n"
        "X=y\n";
    Write(m_path, original);
    ::chmod(m_path.c_str(), 0600);

    Settings s;
    SimFix fix;
    LoadSettings(m_path, s, fix);
    EXPECT_EQ(s.BackColor, 0x332211u);
    EXPECT_EQ(s.Outputs[1].Device, "/dev/ttyUSB1");
    fix.Latitude = -33.75;
    std::string error;
    ASSERT_TRUE(SaveSettings(m_path, s, fix, fix.Speed, error)) << error;

    const std::string saved = Read(m_path);
    const std::vector<std::string> lines = Lines(saved);
    // Every line of the old file that names no written key is still there, in its old order.
    std::size_t at = 0;
    for (const std::string& line : Lines(original)) {
        if (line == "latitude=12.5" || line == "Speed=120") continue;
        const auto found = std::find(lines.begin() + static_cast<std::ptrdiff_t>(at), lines.end(), line);
        ASSERT_NE(found, lines.end()) << "lost or moved: " << line;
        at = static_cast<std::size_t>(found - lines.begin());
    }
    EXPECT_EQ(lines[5], "latitude=-33.750000000000000");  // replaced where it stood
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "BackColorRGB=112233"), 1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return KeyOf(l) == "Speed"; }), 1);
    EXPECT_NE(saved.find("Speed=120.000000000000000\n"), std::string::npos);
    EXPECT_EQ(saved.find("Output1Device", saved.find("Output1Device") + 1), std::string::npos);

    struct stat st {};
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tolvex.ini"});

    Settings again;
    SimFix fixAgain;
    LoadSettings(m_path, again, fixAgain);
    ExpectSameSettings(again, s);
    ExpectSameFix(fixAgain, fix);
}

TEST_F(SettingsFile, FollowsASymbolicLink)
{
    const std::string real = m_dir + "/real.ini";
    Write(real, "[Tolvex]\nUnknown=1\n");
    ASSERT_EQ(::symlink("real.ini", m_path.c_str()), 0);
    Settings s;
    SimFix fix;
    std::string error;
    ASSERT_TRUE(SaveSettings(m_path, s, fix, 0, error)) << error;
    struct stat st {};
    ASSERT_EQ(::lstat(m_path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(Read(real).find("Version=0.3.1"), std::string::npos);
    EXPECT_NE(Read(real).find("Unknown=1"), std::string::npos);
}

TEST_F(SettingsFile, FolderInPlaceOfTheFileIsReported)
{
    ASSERT_EQ(::mkdir(m_path.c_str(), 0755), 0);
    std::string error;
    EXPECT_FALSE(SaveSettings(m_path, Settings{}, SimFix{}, 0, error));
    EXPECT_NE(error.find(m_path), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// Runs fn in a child that has given up root, so that file permissions apply to it.
struct ChildResult {
    int Status = -1;  // 0 saved, 1 refused, 2 could not drop root
    std::string Error;
};

ChildResult RunUnprivileged(const std::function<bool(std::string&)>& fn)
{
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        std::string error;
        const bool ok = fn(error);
        (void)!::write(fds[1], error.data(), error.size());
        ::_exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    ChildResult r;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) r.Error.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST_F(SettingsFile, UnwritableFolderLeavesTheOldFile)
{
    const std::string original = "[Tolvex]\nLatitude=1.5\nUnknown=keep\n";
    Write(m_path, original);
    ::chmod(m_path.c_str(), 0666);
    ::chmod(m_dir.c_str(), 0555);
    SimFix fix;
    fix.Latitude = 45;
    const ChildResult r = RunUnprivileged(
        [&](std::string& error) { return SaveSettings(m_path, Settings{}, fix, 0, error); });
    if (r.Status == 2) GTEST_SKIP() << "cannot drop root here";
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Error.find(m_path), std::string::npos) << r.Error;
    EXPECT_EQ(Read(m_path), original);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Tolvex.ini"});
}

TEST_F(SettingsFile, UnreadableFileIsNotOverwritten)
{
    const std::string original = "[Tolvex]\nUnknown=keep\n";
    Write(m_path, original);
    ::chmod(m_path.c_str(), 0200);
    ::chmod(m_dir.c_str(), 0777);
    const ChildResult r = RunUnprivileged(
        [&](std::string& error) { return SaveSettings(m_path, Settings{}, SimFix{}, 0, error); });
    if (r.Status == 2) GTEST_SKIP() << "cannot drop root here";
    EXPECT_EQ(r.Status, 1);
    EXPECT_FALSE(r.Error.empty());
    EXPECT_EQ(Read(m_path), original);
}

// A file that sets every key to a value other than its default.
const char* const EveryKeyFile = R"([Tolvex]
Latitude=31.234567890123456
Longitude=-121.5
Altitude=-12.75
Course=359.5
Speed=88.8
AlwaysOnTop=1
BackColorRGB=102030
Text1ColorRGB=A1B2C3
Text2ColorRGB=010203
Text3ColorRGB=FFEEDD
FontFaceName=微软雅黑
OziActive=1
OziNoNMEA=1
OziInterval=240
OziRMC=0
OziGGA=0
OziGSA=0
OziGSV=0
OziGLL=1
OziVTG=1
Output1Active=0
Output1Virtual=0
Output1Port=1
Output1BaudRateIndex=11
Output1ParityIndex=1
Output1StopBitsIndex=2
Output1Interval=100
Output1RMC=0
Output1GGA=1
Output1GSA=0
Output1GSV=1
Output1GLL=1
Output1VTG=0
Output2Active=1
Output2Virtual=0
Output2Port=30
Output2BaudRateIndex=0
Output2ParityIndex=2
Output2StopBitsIndex=1
Output2Interval=60000
Output2RMC=1
Output2GGA=0
Output2GSA=1
Output2GSV=0
Output2GLL=0
Output2VTG=1
Output3Active=1
Output3Virtual=1
Output3Port=9
Output3BaudRateIndex=5
Output3ParityIndex=1
Output3StopBitsIndex=1
Output3Interval=2020
Output3RMC=0
Output3GGA=0
Output3GSA=0
Output3GSV=0
Output3GLL=1
Output3VTG=1
GPSUpperSpeed=150
GPSLowerSpeed=3.5
GPSTimeOffset=-8
GPSTimeFactor=2.5
StepIndex=7
Step=0.001
LatLonFormatIndex=2
KeySensitivity1=0.5
KeySensitivity2=3
KeySensitivity3=10
WheelSensitivity=-2.5
MinTrackPoints=5
MinTrackLength=125.5
LastTrackMode=3
FavoritePoint1=家,30.5,114.25,12.345679,90
FavoritePoint2=Office,-33.8688,151.2093,58,180.25
FavoritePoint5=,1,2,3,4.5
FavoritePoint20=Last one,89.999999,-179.999999,-277777.5,360
TimerWaits=17
ChangeWaits=4
Output1Device=/dev/ttyUSB0
Output3Device=/dev/pts/7
Output2Net=tcp-listen:[::]:10110
VirtualPortDir=/run/user/1000/tolvex
VirtualPortGroup=uucp
OziApiLibrary=/opt/ozi/liboziapi.so
MapTileUrl=http://127.0.0.1:8080/{z}/{x}/{y}.png
MapTileFile=/srv/maps/china.mbtiles
MapWindowOpen=1
Language=zh_CN
)";

TEST_F(SettingsFile, EveryKeyRoundTrips)
{
    Write(m_path, EveryKeyFile);
    Settings first;
    SimFix firstFix;
    LoadSettings(m_path, first, firstFix);
    EXPECT_EQ(first.Outputs[2].Port, 29);
    EXPECT_EQ(first.Outputs[2].Net, "tcp-listen:[::]:10110");
    EXPECT_EQ(first.Favorites[0].Name, "家");

    const std::string copy = m_dir + "/copy.ini";  // a new file: BackColorRGB is not carried
    std::string error;
    ASSERT_TRUE(SaveSettings(m_path, first, firstFix, firstFix.Speed, error)) << error;
    ASSERT_TRUE(SaveSettings(copy, first, firstFix, firstFix.Speed, error)) << error;

    Settings second;
    SimFix secondFix;
    LoadSettings(m_path, second, secondFix);
    ExpectSameSettings(second, first);
    ExpectSameFix(secondFix, firstFix);

    Settings fromCopy;
    SimFix copyFix;
    LoadSettings(copy, fromCopy, copyFix);
    EXPECT_EQ(fromCopy.BackColor, Settings{}.BackColor);
    EXPECT_EQ(fromCopy.Outputs[1].Device, "");
    fromCopy.BackColor = first.BackColor;
    for (int n = 0; n < OutputCount; ++n) fromCopy.Outputs[n].Device = first.Outputs[n].Device;
    fromCopy.VirtualPortDir = first.VirtualPortDir;
    fromCopy.VirtualPortGroup = first.VirtualPortGroup;
    fromCopy.OziApiLibrary = first.OziApiLibrary;
    fromCopy.MapTileUrl = first.MapTileUrl;
    fromCopy.MapTileFile = first.MapTileFile;
    fromCopy.Language = first.Language;
    ExpectSameSettings(fromCopy, first);

    // Saving what was read back changes nothing more.
    const std::string once = Read(m_path);
    ASSERT_TRUE(SaveSettings(m_path, second, secondFix, secondFix.Speed, error)) << error;
    EXPECT_EQ(Read(m_path), once);
}

// Random settings within the ranges the program keeps survive a save and a load exactly: every
// key lands in its own field with its own unit. Reals lie on a 1/64 grid so that "%f" and the
// km/h conversion hold every bit.
TEST(SaveSettings, RandomSettingsRoundTrip)
{
    std::mt19937_64 rng(20240611);
    auto integer = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto real = [&](double lo, double hi) { return integer(static_cast<int>(lo * 64), static_cast<int>(hi * 64)) / 64.0; };
    auto kmh = [&](double hi) { return real(0, hi) / 3.6; };
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        Settings s;
        SimFix fix{real(-90, 90), real(-180, 180), real(-277777.5, 277777.5), real(0, 360), kmh(99999)};
        s.AlwaysOnTop = integer(0, 1);
        s.Text1Color = static_cast<ColorRef>(integer(0, 0xFFFFFF));
        s.Text2Color = static_cast<ColorRef>(integer(0, 0xFFFFFF));
        s.Text3Color = static_cast<ColorRef>(integer(0, 0xFFFFFF));
        s.FontFaceName = "字体 " + std::to_string(integer(0, 1000));
        for (int n = 0; n < OutputCount; ++n) {
            OutputSettings& o = s.Outputs[n];
            o.Active = integer(0, 1);
            o.Interval = integer(5, 3000) * 20;
            for (bool& b : o.Send) b = integer(0, 1);
            if (n == 0) {
                o.NoNMEA = integer(0, 1);
                continue;
            }
            o.Virtual = integer(0, 1);
            o.Port = integer(0, 29);
            o.BaudRateIndex = integer(0, 11);
            o.ParityIndex = integer(0, 2);
            o.StopBitsIndex = integer(0, 2);
        }
        s.GPSUpperSpeed = kmh(99999);
        s.GPSLowerSpeed = kmh(100);
        s.GPSTimeOffset = real(-24, 24);
        s.GPSTimeFactor = real(0, 10);
        s.StepIndex = integer(0, 11);
        s.Step = real(0, 1);
        s.LatLonFormatIndex = integer(0, 2);
        s.KeySensitivity1 = real(0, 90);
        s.KeySensitivity2 = real(0, 90);
        s.KeySensitivity3 = real(0, 90);
        s.WheelSensitivity = real(-90, 90);
        s.MinTrackPoints = integer(2, 100000);
        s.MinTrackLength = real(0, 1e6);
        s.LastTrackMode = integer(1, 3);
        for (FavoritePoint& p : s.Favorites)
            p = {"点" + std::to_string(integer(0, 99)), real(-90, 90), real(-180, 180), real(-1000, 9000), real(0, 360)};
        s.TimerWaits = integer(0, 1 << 30);
        s.ChangeWaits = integer(0, 1 << 30);
        // Half the rounds keep the realism at its defaults, whose keys then stay out of the file.
        if (integer(0, 1)) {
            s.Sky.Enabled = integer(0, 1);
            s.Sky.Systems = static_cast<unsigned>(integer(1, 15));
            s.Sky.AlmanacFile = integer(0, 1) ? "/srv/almanac/" + std::to_string(integer(0, 999)) + ".alm" : "";
            s.Sky.MaskDeg = real(0, 90);
            s.Sky.Uere = real(0, 1000);
            s.Sky.CorrelationTime = real(1, 86400);
            s.Sky.Seed = static_cast<std::uint32_t>(integer(0, 1 << 30)) * 4u;
        }

        IniFile ini;
        SaveSettings(ini, s, fix, fix.Speed);
        Settings back;
        SimFix backFix;
        LoadSettings(IniFile::Parse(ini.Serialize()), back, backFix);
        ExpectSameSettings(back, s);
        ExpectSameFix(backFix, fix);
    }
}

}  // namespace
}  // namespace tolvex
