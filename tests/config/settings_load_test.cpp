#include "config/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <cstdlib>
#include <string>

#include "settings_expect.h"

namespace tolvex {
namespace {

using Getter = double (*)(const Settings&, const SimFix&);

struct LoadCase {
    const char* Name;
    const char* Lines;  // below [Tolvex]
    Getter Get;
    double Expected;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.Lines; }

constexpr Getter Lat = [](const Settings&, const SimFix& f) { return f.Latitude; };
constexpr Getter Lon = [](const Settings&, const SimFix& f) { return f.Longitude; };
constexpr Getter Alt = [](const Settings&, const SimFix& f) { return f.Altitude; };
constexpr Getter Course = [](const Settings&, const SimFix& f) { return f.Course; };
constexpr Getter Speed = [](const Settings&, const SimFix& f) { return f.Speed; };
constexpr Getter OnTop = [](const Settings& s, const SimFix&) -> double { return s.AlwaysOnTop; };
constexpr Getter Back = [](const Settings& s, const SimFix&) -> double { return s.BackColor; };
constexpr Getter Text1 = [](const Settings& s, const SimFix&) -> double { return s.Text1Color; };
constexpr Getter Text2 = [](const Settings& s, const SimFix&) -> double { return s.Text2Color; };
constexpr Getter OziInterval = [](const Settings& s, const SimFix&) -> double { return s.Outputs[0].Interval; };
constexpr Getter OziVtg = [](const Settings& s, const SimFix&) -> double { return s.Outputs[0].Send[5]; };
constexpr Getter Out1Interval = [](const Settings& s, const SimFix&) -> double { return s.Outputs[1].Interval; };
constexpr Getter Out2Interval = [](const Settings& s, const SimFix&) -> double { return s.Outputs[2].Interval; };
constexpr Getter Out3Interval = [](const Settings& s, const SimFix&) -> double { return s.Outputs[3].Interval; };
constexpr Getter Out1Active = [](const Settings& s, const SimFix&) -> double { return s.Outputs[1].Active; };
constexpr Getter Out2Active = [](const Settings& s, const SimFix&) -> double { return s.Outputs[2].Active; };
constexpr Getter Out1Port = [](const Settings& s, const SimFix&) -> double { return s.Outputs[1].Port; };
constexpr Getter Out2Port = [](const Settings& s, const SimFix&) -> double { return s.Outputs[2].Port; };
constexpr Getter Out3Port = [](const Settings& s, const SimFix&) -> double { return s.Outputs[3].Port; };
constexpr Getter Out1Baud = [](const Settings& s, const SimFix&) -> double { return s.Outputs[1].BaudRateIndex; };
constexpr Getter Out2Parity = [](const Settings& s, const SimFix&) -> double { return s.Outputs[2].ParityIndex; };
constexpr Getter Out3Stop = [](const Settings& s, const SimFix&) -> double { return s.Outputs[3].StopBitsIndex; };
constexpr Getter Out3Gsv = [](const Settings& s, const SimFix&) -> double { return s.Outputs[3].Send[3]; };
constexpr Getter Upper = [](const Settings& s, const SimFix&) { return s.GPSUpperSpeed; };
constexpr Getter Lower = [](const Settings& s, const SimFix&) { return s.GPSLowerSpeed; };
constexpr Getter TimeOffset = [](const Settings& s, const SimFix&) { return s.GPSTimeOffset; };
constexpr Getter TimeFactor = [](const Settings& s, const SimFix&) { return s.GPSTimeFactor; };
constexpr Getter StepIndex = [](const Settings& s, const SimFix&) -> double { return s.StepIndex; };
constexpr Getter Step = [](const Settings& s, const SimFix&) { return s.Step; };
constexpr Getter Format = [](const Settings& s, const SimFix&) -> double { return s.LatLonFormatIndex; };
constexpr Getter Wheel = [](const Settings& s, const SimFix&) { return s.WheelSensitivity; };
constexpr Getter Key3 = [](const Settings& s, const SimFix&) { return s.KeySensitivity3; };
constexpr Getter MinPoints = [](const Settings& s, const SimFix&) -> double { return s.MinTrackPoints; };
constexpr Getter LastMode = [](const Settings& s, const SimFix&) -> double { return s.LastTrackMode; };
constexpr Getter SkyOn = [](const Settings& s, const SimFix&) -> double { return s.Sky.Enabled; };
constexpr Getter SkySystems = [](const Settings& s, const SimFix&) -> double { return s.Sky.Systems; };
constexpr Getter SkyMask = [](const Settings& s, const SimFix&) { return s.Sky.MaskDeg; };
constexpr Getter SkyUere = [](const Settings& s, const SimFix&) { return s.Sky.Uere; };
constexpr Getter SkySeed = [](const Settings& s, const SimFix&) -> double { return s.Sky.Seed; };
constexpr Getter Out1Zda = [](const Settings& s, const SimFix&) -> double { return s.Outputs[1].Send[6]; };
constexpr Getter TimerWaits = [](const Settings& s, const SimFix&) -> double { return s.TimerWaits; };

constexpr auto CaseName = [](const auto& info) { return std::string(info.param.Name); };

class LoadKey : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadKey, GivesTheCheckedValue)
{
    Settings s;
    SimFix fix;
    LoadSettings(IniFile::Parse(std::string("[Tolvex]\n") + GetParam().Lines + "\n"), s, fix);
    EXPECT_EQ(GetParam().Get(s, fix), GetParam().Expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fix, LoadKey, ::testing::Values(
    LoadCase{"LatitudeAbove90", "Latitude=123", Lat, 90},
    LoadCase{"LatitudeBelow90", "Latitude=-90.5", Lat, -90},
    LoadCase{"LatitudeQuotedWithBlanks", "Latitude=\" 45.5 \"", Lat, 45.5},
    LoadCase{"SectionAndKeyCase", "LATITUDE=12.25", Lat, 12.25},
    LoadCase{"LongitudeBelow180", "Longitude=-200", Lon, -180},
    LoadCase{"AltitudeAbove", "Altitude=300000", Alt, 277777.5},
    LoadCase{"AltitudeBelow", "Altitude=-300000", Alt, -277777.5},
    LoadCase{"Course361", "Course=361", Course, 0},
    LoadCase{"Course360Stays", "Course=360", Course, 360},
    LoadCase{"CourseNegative", "Course=-1", Course, 0},
    LoadCase{"Speed120", "Speed=120", Speed, 120 / 3.6},
    LoadCase{"SpeedMissing", "", Speed, 30 / 3.6},
    LoadCase{"SpeedAbove99999", "Speed=100000", Speed, 27777.5},
    LoadCase{"SpeedNegative", "Speed=-5", Speed, 0},
    LoadCase{"SpeedGarbageIsZero", "Speed=fast", Speed, 0},
    LoadCase{"SpeedEmptyIsZero", "Speed=", Speed, 0},
    LoadCase{"SpeedNanTakesDefault", "Speed=nan", Speed, 30 / 3.6},
    LoadCase{"LatitudeInfinityTakesDefault", "Latitude=inf", Lat, 0},
    LoadCase{"CourseNanTakesDefault", "Course=-nan", Course, 0}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Display, LoadKey, ::testing::Values(
    LoadCase{"AlwaysOnTopAnyNonZero", "AlwaysOnTop=5", OnTop, 1},
    LoadCase{"AlwaysOnTopNegative", "AlwaysOnTop=-1", OnTop, 1},
    LoadCase{"AlwaysOnTopGarbage", "AlwaysOnTop=yes", OnTop, 0},
    LoadCase{"BackColorDefault", "", Back, 0xEEF3F4},
    LoadCase{"BackColorSwapped", "BackColorRGB=123456", Back, 0x563412},
    LoadCase{"PureRed", "Text1ColorRGB=FF0000", Text1, 0x0000FF},
    LoadCase{"LowerCaseDigits", "Text1ColorRGB=ff0000", Text1, 0x0000FF},
    LoadCase{"ColorGarbage", "Text1ColorRGB=red", Text1, 0},
    LoadCase{"ColorHighByteDropped", "Text2ColorRGB=FFFFFFFF", Text2, 0xFFFFFF},
    LoadCase{"ColorDefaultBlue", "", Text2, 0xFF0000}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Outputs, LoadKey, ::testing::Values(
    LoadCase{"OziIntervalDefault", "", OziInterval, 500},
    LoadCase{"Interval1009", "OziInterval=1009", OziInterval, 1000},
    LoadCase{"Interval1010", "OziInterval=1010", OziInterval, 1020},
    LoadCase{"Interval110HalfUp", "OziInterval=110", OziInterval, 120},
    LoadCase{"Interval50", "OziInterval=50", OziInterval, 100},
    LoadCase{"Interval99999", "OziInterval=99999", OziInterval, 60000},
    LoadCase{"IntervalNearIntMax", "OziInterval=2147483647", OziInterval, 60000},
    LoadCase{"OutputIntervalNegative", "Output1Interval=-5", Out1Interval, 100},
    LoadCase{"OutputIntervalMinus30", "Output1Interval=-30", Out1Interval, 100},
    LoadCase{"OutputIntervalGarbage", "Output2Interval=soon", Out2Interval, 100},
    LoadCase{"OutputIntervalDefault", "", Out3Interval, 1000},
    LoadCase{"OziVtgDefaultOff", "", OziVtg, 0},
    LoadCase{"OziVtgOn", "OziVTG=1", OziVtg, 1},
    LoadCase{"Output3GsvDefaultOn", "", Out3Gsv, 1},
    LoadCase{"Output1ActiveDefault", "", Out1Active, 1},
    LoadCase{"Output2ActiveDefault", "", Out2Active, 0},
    LoadCase{"Port4IsIndex3", "Output1Port=4", Out1Port, 3},
    LoadCase{"Output3PortDefault", "", Out3Port, 26},
    LoadCase{"Output2PortDefault", "", Out2Port, 14},
    LoadCase{"Port0Limited", "Output2Port=0", Out2Port, 0},
    LoadCase{"Port31Limited", "Output2Port=31", Out2Port, 29},
    LoadCase{"PortIntMin", "Output1Port=-2147483648", Out1Port, 0},
    LoadCase{"BaudIndex12Limited", "Output1BaudRateIndex=12", Out1Baud, 11},
    LoadCase{"BaudIndexNegativeLimited", "Output1BaudRateIndex=-1", Out1Baud, 0},
    LoadCase{"BaudIndex9", "Output1BaudRateIndex=9", Out1Baud, 9},
    LoadCase{"ParityLimited", "Output2ParityIndex=3", Out2Parity, 2},
    LoadCase{"StopBitsLimited", "Output3StopBitsIndex=-1", Out3Stop, 0}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Sky, LoadKey, ::testing::Values(
    LoadCase{"RealismAbsentIsOff", "", SkyOn, 0},
    LoadCase{"RealismOn", "SkyRealism=1", SkyOn, 1},
    LoadCase{"ZdaAbsentIsOff", "", Out1Zda, 0},
    LoadCase{"ZdaOn", "Output1ZDA=1", Out1Zda, 1},
    LoadCase{"SystemsDefaultGps", "", SkySystems, 1},
    LoadCase{"SystemsAnyCaseAndBlanks", "SkySystems=GPS, beidou", SkySystems, 9},
    LoadCase{"SystemsUnknownNameGivesGps", "SkySystems=gps,compass", SkySystems, 1},
    LoadCase{"MaskDefault", "", SkyMask, 5},
    LoadCase{"MaskLimited", "SkyMask=120", SkyMask, 90},
    LoadCase{"NoiseAbsentIsOff", "", SkyUere, 0},
    LoadCase{"NoiseNegativeIsOff", "SkyUERE=-3", SkyUere, 0},
    LoadCase{"SeedLargest", "SkySeed=4294967295", SkySeed, 4294967295.0},
    LoadCase{"SeedBeyondLimited", "SkySeed=99999999999", SkySeed, 4294967295.0}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Misc, LoadKey, ::testing::Values(
    LoadCase{"UpperSpeedKmh", "GPSUpperSpeed=36", Upper, 10},
    LoadCase{"UpperSpeedDefault", "", Upper, 99999 / 3.6},
    LoadCase{"UpperSpeedNanTakesDefault", "GPSUpperSpeed=nan", Upper, 99999 / 3.6},
    LoadCase{"LowerSpeedUnchecked", "GPSLowerSpeed=-36", Lower, -10},
    LoadCase{"TimeFactorUnchecked", "GPSTimeFactor=-3", TimeFactor, -3},
    LoadCase{"TimeFactorDefault", "", TimeFactor, 1},
    LoadCase{"RealCutToItsBuffer", "GPSTimeOffset=1234567890123456789012345678901234", TimeOffset,
             1234567890123456789012345678901.0},
    LoadCase{"StepDefault", "", Step, 0.00001},
    LoadCase{"StepInfinityTakesDefault", "Step=inf", Step, 0.00001},
    LoadCase{"StepIndex12", "StepIndex=12", StepIndex, 1},
    LoadCase{"StepIndexNegative", "StepIndex=-1", StepIndex, 1},
    LoadCase{"StepIndex11", "StepIndex=11", StepIndex, 11},
    LoadCase{"StepIndex0", "StepIndex=0", StepIndex, 0},
    LoadCase{"FormatLimited", "LatLonFormatIndex=3", Format, 2},
    LoadCase{"FormatNegative", "LatLonFormatIndex=-2", Format, 0},
    LoadCase{"WheelNegativeKept", "WheelSensitivity=-5", Wheel, -5},
    LoadCase{"Key3Default", "", Key3, 5},
    LoadCase{"MinTrackPointsRaised", "MinTrackPoints=1", MinPoints, 2},
    LoadCase{"MinTrackPointsNegative", "MinTrackPoints=-5", MinPoints, 2},
    LoadCase{"MinTrackPointsKept", "MinTrackPoints=7", MinPoints, 7},
    LoadCase{"LastTrackMode0", "LastTrackMode=0", LastMode, 1},
    LoadCase{"LastTrackMode4", "LastTrackMode=4", LastMode, 1},
    LoadCase{"LastTrackMode3", "LastTrackMode=3", LastMode, 3},
    LoadCase{"TimerWaits", "TimerWaits=123", TimerWaits, 123}),
    CaseName);
// clang-format on

TEST(LoadSettings, MissingFileGivesEveryDefault)
{
    Settings s;
    s.FontFaceName = "changed";
    s.Outputs[2].Port = 7;
    s.Favorites[4].Name = "changed";
    s.Outputs[1].Device = "/dev/ttyUSB0";
    SimFix fix{1, 2, 3, 4, 5};
    LoadSettings("/nonexistent/folder/Tolvex.ini", s, fix);
    ExpectSameSettings(s, Settings{});
    ExpectSameFix(fix, SimFix{0, 0, 0, 0, 30 / 3.6});
}

TEST(LoadSettings, TextsAreCutToTheirFields)
{
    Settings s;
    SimFix fix;
    const std::string longFace(300, 'x');
    std::string cjkFace;
    for (int i = 0; i < 300; ++i) cjkFace += "宋";
    LoadSettings(IniFile::Parse("[Tolvex]\nFontFaceName=" + longFace + "\n"), s, fix);
    EXPECT_EQ(s.FontFaceName, std::string(255, 'x'));
    LoadSettings(IniFile::Parse("[Tolvex]\nFontFaceName=" + cjkFace + "\n"), s, fix);
    EXPECT_EQ(CharCount(s.FontFaceName), 255u);
    EXPECT_EQ(s.FontFaceName.size(), 255u * 3);
}

TEST(LoadSettings, LinuxOnlyKeys)
{
    Settings s;
    SimFix fix;
    const std::string longPath = "/dev/" + std::string(400, 'p');
    LoadSettings(IniFile::Parse("[Tolvex]\nOutput2Device=" + longPath +
                                "\nVirtualPortDir=/run/tolvex\nVirtualPortGroup=\nLanguage=en\n"),
                 s, fix);
    EXPECT_EQ(s.Outputs[1].Device, "");
    EXPECT_EQ(s.Outputs[2].Device, longPath);  // a path is never cut to a Windows buffer
    EXPECT_EQ(s.VirtualPortDir, "/run/tolvex");
    EXPECT_EQ(s.VirtualPortGroup, "");  // set empty: owner-only terminals
    EXPECT_EQ(Settings{}.VirtualPortGroup, "dialout");
    EXPECT_EQ(s.OziApiLibrary, "oziapi.so");
    EXPECT_EQ(s.MapTileUrl, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    EXPECT_EQ(s.MapTileFile, "");
    EXPECT_FALSE(s.MapWindowOpen);
    EXPECT_EQ(s.Language, "en");
}

// --- favourite points ------------------------------------------------------------------------

struct FavoriteCase {
    const char* Name;
    const char* Text;
    FavoritePoint Expected;
};

void PrintTo(const FavoriteCase& c, std::ostream* os) { *os << c.Text; }

class FavoriteParse : public ::testing::TestWithParam<FavoriteCase> {};

TEST_P(FavoriteParse, SplitsLikeTheFile)
{
    const FavoritePoint p = ParseFavoritePoint(GetParam().Text);
    EXPECT_EQ(p.Name, GetParam().Expected.Name);
    EXPECT_EQ(p.Latitude, GetParam().Expected.Latitude);
    EXPECT_EQ(p.Longitude, GetParam().Expected.Longitude);
    EXPECT_EQ(p.Altitude, GetParam().Expected.Altitude);
    EXPECT_EQ(p.Course, GetParam().Expected.Course);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FavoriteParse, ::testing::Values(
    FavoriteCase{"Full", "Home,30.5,114.25,12.5,270", {"Home", 30.5, 114.25, 12.5, 270}},
    FavoriteCase{"NameAndPositionOnly", "Home,30.5,114.25", {"Home", 30.5, 114.25, 0, 0}},
    FavoriteCase{"ThreeLetters", "abc", {"未命名", 0, 0, 0, 0}},
    FavoriteCase{"EightCharacters", "abcdefgh", {"未命名", 0, 0, 0, 0}},
    FavoriteCase{"EightWideCharactersAreEightNotTwentyFour", "名字名字名字名字", {"未命名", 0, 0, 0, 0}},
    FavoriteCase{"NineCharacters", "名字名字名字名,1", {"名字名字名字名", 1, 0, 0, 0}},
    FavoriteCase{"EmptyFieldsKept", "Point,,5,,7", {"Point", 0, 5, 0, 7}},
    FavoriteCase{"EmptyName", ",10,2,3,4", {"", 10, 2, 3, 4}},
    FavoriteCase{"NonNumbersAndNan", "Point,x,nan,inf,1e400", {"Point", 0, 0, 0, 0}},
    FavoriteCase{"ExtraFieldsIgnored", "Point,1,2,3,4,5,6", {"Point", 1, 2, 3, 4}},
    FavoriteCase{"NameCut", "0123456789012345678901234567890123456789012345678901234567890123456789,1",
                 {"012345678901234567890123456789012345678901234567890123456789012", 1, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });
// clang-format on

TEST(LoadSettings, FavoritesShortValueAndMissingKeys)
{
    Settings s;
    SimFix fix;
    LoadSettings(IniFile::Parse("[Tolvex]\nFavoritePoint2=abc\nFavoritePoint20=Far,1,2,3,4\n"), s, fix);
    EXPECT_EQ(s.Favorites[0].Name, "未命名");
    EXPECT_EQ(s.Favorites[1].Name, "未命名");
    EXPECT_EQ(s.Favorites[19].Name, "Far");
    EXPECT_EQ(s.Favorites[19].Course, 4);
}

TEST(FormatFavoritePoint, ValueForm)
{
    EXPECT_EQ(FormatFavoritePoint({"Home", 30.5, 114.25, 12.3456789, 270}),
              "Home,30.500000000000000,114.250000000000000,12.345679,270.000000");
    EXPECT_EQ(FormatFavoritePoint({}), "未命名,0.000000000000000,0.000000000000000,0.000000,0.000000");
    // A comma would shift every field on reading.
    const FavoritePoint back = ParseFavoritePoint(FormatFavoritePoint({"a,b", 1, 2, 3, 4}));
    EXPECT_EQ(back.Name, "a-b");
    EXPECT_EQ(back.Latitude, 1);
    EXPECT_EQ(back.Course, 4);
}

// --- where the file lives ----------------------------------------------------------------------

struct PathCase {
    const char* Exe;
    const char* Ini;
};

class SettingsPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPath, ReplacesOrAddsTheExtension) { EXPECT_EQ(SettingsPathFor(GetParam().Exe), GetParam().Ini); }

INSTANTIATE_TEST_SUITE_P(Cases, SettingsPath,
                         ::testing::Values(PathCase{"/usr/bin/tolvex", "/usr/bin/tolvex.ini"},
                                           PathCase{"/opt/tolvex-0.3.1/tolvex", "/opt/tolvex-0.3.1/tolvex.ini"},
                                           PathCase{"/opt/a.b/Tolvex.exe", "/opt/a.b/Tolvex.ini"},
                                           PathCase{"/x/a.tar.gz", "/x/a.tar.ini"},
                                           PathCase{"/x/tolvex.", "/x/tolvex.ini"},
                                           PathCase{"/x/.tolvex", "/x/.tolvex.ini"},
                                           PathCase{"tolvex", "tolvex.ini"},
                                           PathCase{"./tolvex", "./tolvex.ini"}));

class ChoosePath : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tolvex-config-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }
    std::string m_dir;
};

TEST_F(ChoosePath, BesideTheExecutableOnlyWhenTheFileIsThere)
{
    const std::string home = m_dir + "/home";
    EXPECT_EQ(ChooseSettingsPath(m_dir + "/tolvex", nullptr, home.c_str()), home + "/.config/tolvex/Tolvex.ini");
    std::ofstream(m_dir + "/tolvex.ini") << "[Tolvex]\n";
    EXPECT_EQ(ChooseSettingsPath(m_dir + "/tolvex", nullptr, home.c_str()), m_dir + "/tolvex.ini");
}

TEST_F(ChoosePath, ConfigFolderOtherwise)
{
    const std::string xdg = m_dir + "/xdg";
    const std::string path = ChooseSettingsPath("/nonexistent/bin/tolvex", xdg.c_str(), "/nonexistent/home");
    EXPECT_EQ(path, xdg + "/tolvex/Tolvex.ini");
    EXPECT_EQ(::access((xdg + "/tolvex").c_str(), W_OK), 0);

    const std::string home = m_dir + "/home";
    EXPECT_EQ(ChooseSettingsPath("/nonexistent/bin/tolvex", "relative/xdg", home.c_str()),
              home + "/.config/tolvex/Tolvex.ini");
    EXPECT_EQ(ChooseSettingsPath("", "", home.c_str()), home + "/.config/tolvex/Tolvex.ini");
}

TEST(DefaultSettingsPath, EndsInAnIniFile)
{
    const std::string path = DefaultSettingsPath();
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".ini");
    EXPECT_EQ(path.front(), '/');
}

}  // namespace
}  // namespace tolvex
