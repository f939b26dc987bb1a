#include "config/settings_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "config/file_io.h"

namespace tolvex {

namespace {

constexpr const std::array<const char*, SentenceCount>& SentenceKeys = SentenceNames;

constexpr int IntervalMin = 100;
constexpr int IntervalMax = 60000;
constexpr std::size_t BufferOf(std::size_t chars) { return chars + 1; }
constexpr std::size_t PathValueChars = 4095;  // Linux-only path keys: PATH_MAX, not a Windows buffer
constexpr std::size_t NetValueChars = 300;    // "tcp-listen:" and a bracketed 253-character name with its port

std::string NumberedKey(const char* prefix, int n, const char* suffix = "")
{
    return std::string(prefix) + std::to_string(n) + suffix;
}

std::string OutputKey(int n, const char* suffix) { return NumberedKey("Output", n, suffix); }

std::string FormatInt(long long v)
{
    char buf[24];
    const int len = std::snprintf(buf, sizeof buf, "%lld", v);
    return std::string(buf, static_cast<std::size_t>(len));
}

std::string FormatColor(ColorRef color)
{
    char buf[16];
    const int len = std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(SwapRedBlue(color)));
    return std::string(buf, static_cast<std::size_t>(len));
}

// Reading a setting goes through the profile calls with the buffers of the Windows build.
class Reader {
public:
    explicit Reader(const IniFile& ini) : m_ini(ini) {}

    // The default formatted with "%.15f" stands in for a missing key; a present key that is not
    // a number reads as 0, one that reads as NaN or infinity as the default.
    double Real(std::string_view key, double def) const
    {
        const std::string text = m_ini.GetString(SettingsSection, key, FormatFixed(def, 15), BufferOf(RealTextChars));
        const double v = LeadingReal(text);
        return std::isfinite(v) ? v : def;
    }
    double SpeedKmh(std::string_view key, double defKmh) const { return Real(key, defKmh) / KmhPerMps; }
    int Int(std::string_view key, int def) const { return m_ini.GetInt(SettingsSection, key, def); }
    bool Flag(std::string_view key, bool def) const { return Int(key, def ? 1 : 0) != 0; }
    int Limited(std::string_view key, int def, int lo, int hi) const { return std::clamp(Int(key, def), lo, hi); }
    std::string Text(std::string_view key, std::string_view def, std::size_t chars = TextValueChars) const
    {
        return m_ini.GetString(SettingsSection, key, def, chars + 1);
    }
    ColorRef Color(std::string_view key, std::string_view def) const { return SwapRedBlue(HexValue32(Text(key, def))); }

    // Rounded to the 20 ms tick, halves up, then held within 100..60000.
    int Interval(std::string_view key, int def) const
    {
        const long long v = (static_cast<long long>(Int(key, def)) + 10) / 20 * 20;
        return static_cast<int>(std::clamp<long long>(v, IntervalMin, IntervalMax));
    }

    // The file holds the 1-based COM number.
    int Port(std::string_view key, int defIndex) const
    {
        const long long v = static_cast<long long>(Int(key, defIndex + 1)) - 1;
        return static_cast<int>(std::clamp<long long>(v, 0, MaxComPort - 1));
    }

private:
    const IniFile& m_ini;
};

class Writer {
public:
    explicit Writer(IniFile& ini) : m_ini(ini) {}
    void Text(std::string_view key, std::string_view value, std::size_t chars = TextValueChars)
    {
        m_ini.Set(SettingsSection, key, CutToChars(value, chars));
    }
    void Real(std::string_view key, double v) { Text(key, FormatSettingReal(v)); }
    void SpeedKmh(std::string_view key, double mps) { Text(key, FormatSettingSpeed(mps)); }
    void Int(std::string_view key, long long v) { Text(key, FormatInt(v)); }
    void Flag(std::string_view key, bool v) { Int(key, v ? 1 : 0); }
    void Color(std::string_view key, ColorRef c) { Text(key, FormatColor(c)); }
    // Keys added after the classic set are written once they leave their default or the file has
    // them, so a file that never used them stays as it was.
    bool Wanted(std::string_view key, bool isDefault) const
    {
        return !isDefault || m_ini.Find(SettingsSection, key).has_value();
    }

private:
    IniFile& m_ini;
};

std::vector<std::string_view> SplitAtCommas(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return fields;
        text.remove_prefix(comma + 1);
    }
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string RunningExecutable()
{
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

std::optional<unsigned> ParseGnssSystems(std::string_view text)
{
    unsigned systems = 0;
    for (std::string_view name : SplitAtCommas(text)) {
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        int found = -1;
        for (int i = 0; i < GnssSystemCount; ++i) {
            const std::string_view known = GnssSystemNames[static_cast<std::size_t>(i)];
            if (name.size() == known.size() &&
                std::equal(name.begin(), name.end(), known.begin(),
                           [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
                found = i;
        }
        if (found < 0) return std::nullopt;
        systems |= 1u << found;
    }
    return systems;
}

std::string FormatGnssSystems(unsigned systems)
{
    std::string text;
    for (int i = 0; i < GnssSystemCount; ++i) {
        if ((systems & (1u << i)) == 0) continue;
        if (!text.empty()) text += ',';
        text += GnssSystemNames[static_cast<std::size_t>(i)];
    }
    return text;
}

ColorRef SwapRedBlue(std::uint32_t value)
{
    return ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}

std::string FormatSettingReal(double value)
{
    const std::string text = FormatFixed(value, 15);
    if (CharCount(text) <= RealTextChars) return text;
    const std::string cut(CutToChars(text, RealTextChars));
    if (LeadingReal(cut) == value) return cut;  // only decimals beyond double precision were lost
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

std::string FormatSettingSpeed(double mps)
{
    const double kmh = mps * KmhPerMps;
    // The km/h value with the fewest digits that reads back as the same speed: a typed 120 stays
    // 120 instead of the 120.000000000000014 that the trip through m/s gives.
    for (int digits = 1; digits <= 17 && std::isfinite(kmh); ++digits) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.*g", digits, kmh);
        const std::string text = FormatSettingReal(std::strtod(buf, nullptr));
        if (LeadingReal(text) / KmhPerMps == mps) return text;
    }
    return FormatSettingReal(kmh);
}

FavoritePoint ParseFavoritePoint(std::string_view text)
{
    if (CharCount(text) < 9) text = DefaultFavoriteRecord;
    const std::vector<std::string_view> fields = SplitAtCommas(text);
    auto number = [&](std::size_t i) {
        if (i >= fields.size()) return 0.0;
        const double v = LeadingReal(fields[i]);
        return std::isfinite(v) ? v : 0.0;
    };
    FavoritePoint p;
    p.Name = std::string(CutToChars(fields[0], FavoriteNameChars));
    p.Latitude = number(1);
    p.Longitude = number(2);
    p.Altitude = number(3);
    p.Course = number(4);
    return p;
}

std::string FormatFavoritePoint(const FavoritePoint& point)
{
    std::string name(CutToChars(point.Name, FavoriteNameChars));
    std::replace(name.begin(), name.end(), ',', '-');
    std::string text = name;
    text += ',' + FormatFixed(point.Latitude, 15);
    text += ',' + FormatFixed(point.Longitude, 15);
    text += ',' + FormatFixed(point.Altitude, 6);
    text += ',' + FormatFixed(point.Course, 6);
    return std::string(CutToChars(text, TextValueChars));
}

std::string SettingsPathFor(const std::string& exePath)
{
    const auto slash = exePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = exePath.rfind('.');
    // A leading dot marks a hidden file, not an extension.
    if (dot != std::string::npos && dot > nameStart) return exePath.substr(0, dot + 1) + "ini";
    return exePath + ".ini";
}

std::string ChooseSettingsPath(const std::string& exePath, const char* xdgConfigHome, const char* home)
{
    if (!exePath.empty()) {
        // A portable set-up keeps its file beside the program; otherwise the user's settings must
        // not live in a build folder that a clean deletes.
        std::string beside = SettingsPathFor(exePath);
        if (::access(beside.c_str(), F_OK) == 0) return beside;
    }
    std::string base;
    if (xdgConfigHome && xdgConfigHome[0] == '/') {
        base = xdgConfigHome;  // relative values are ignored, as the XDG rules say
    } else {
        std::string homeDir = home ? home : "";
        if (homeDir.empty())
            if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) homeDir = pw->pw_dir;
        if (homeDir.empty()) return "Tolvex.ini";
        base = homeDir + "/.config";
    }
    const std::string folder = base + "/tolvex";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);  // a failure shows when saving
    return folder + "/Tolvex.ini";
}

std::string SettingsFolderProblem(const std::string& path)
{
    const std::string folder = FolderOf(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return folder + ": " + std::strerror(ENOTDIR);
    // The file is replaced through a temporary file beside it, so the folder must take new files.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return folder + ": " + std::strerror(errno);
    return {};
}

std::string DefaultSettingsPath()
{
    return ChooseSettingsPath(RunningExecutable(), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

void LoadSettings(const IniFile& ini, Settings& s, SimFix& fix)
{
    const Reader r(ini);
    fix.Latitude = std::clamp(r.Real("Latitude", 0), -90.0, 90.0);
    fix.Longitude = std::clamp(r.Real("Longitude", 0), -180.0, 180.0);
    fix.Altitude = std::clamp(r.Real("Altitude", 0), -MaxAltitude, MaxAltitude);
    fix.Course = r.Real("Course", 0);
    if (fix.Course < 0 || fix.Course > 360) fix.Course = 0;
    fix.Speed = std::clamp(r.SpeedKmh("Speed", 30), 0.0, MaxSpeedMps);
    s.AlwaysOnTop = r.Flag("AlwaysOnTop", false);
    s.BackColor = r.Color("BackColorRGB", "F4F3EE");
    s.Text1Color = r.Color("Text1ColorRGB", "000000");
    s.Text2Color = r.Color("Text2ColorRGB", "0000FF");
    s.Text3Color = r.Color("Text3ColorRGB", "0000FF");
    s.FontFaceName = r.Text("FontFaceName", "Times New Roman", FontFaceChars);

    OutputSettings& ozi = s.Outputs[0];
    ozi.Active = r.Flag("OziActive", false);
    ozi.NoNMEA = r.Flag("OziNoNMEA", false);
    ozi.Interval = r.Interval("OziInterval", 500);
    for (int k = 0; k < SentenceCount; ++k)
        ozi.Send[k] = r.Flag(std::string("Ozi") + SentenceKeys[k], k < 4);

    const std::array<int, OutputCount> defaultPort = {0, 2, 14, 26};  // COM3, COM15, COM27
    for (int n = 1; n < OutputCount; ++n) {
        OutputSettings& o = s.Outputs[n];
        o.Active = r.Flag(OutputKey(n, "Active"), n == 1);
        o.Virtual = r.Flag(OutputKey(n, "Virtual"), true);
        o.Port = r.Port(OutputKey(n, "Port"), defaultPort[n]);
        o.BaudRateIndex = r.Limited(OutputKey(n, "BaudRateIndex"), 2, 0, static_cast<int>(BaudRates.size()) - 1);
        o.ParityIndex = r.Limited(OutputKey(n, "ParityIndex"), 0, 0, 2);
        o.StopBitsIndex = r.Limited(OutputKey(n, "StopBitsIndex"), 0, 0, 2);
        o.Interval = r.Interval(OutputKey(n, "Interval"), 1000);
        for (int k = 0; k < SentenceCount; ++k)
            o.Send[k] = r.Flag(OutputKey(n, SentenceKeys[k]), k < 4);
        // A malformed address is kept as written: starting the output names the fault.
        o.Net = r.Text(OutputKey(n, "Net"), "", NetValueChars);
    }

    s.GPSUpperSpeed = r.SpeedKmh("GPSUpperSpeed", 99999);
    s.GPSLowerSpeed = r.SpeedKmh("GPSLowerSpeed", 0);
    s.GPSTimeOffset = r.Real("GPSTimeOffset", 0);
    s.GPSTimeFactor = r.Real("GPSTimeFactor", 1);
    s.StepIndex = r.Int("StepIndex", 1);
    if (s.StepIndex < 0 || s.StepIndex > 11) s.StepIndex = 1;
    s.Step = r.Real("Step", 0.00001);
    s.LatLonFormatIndex = r.Limited("LatLonFormatIndex", 0, 0, 2);
    s.KeySensitivity1 = r.Real("KeySensitivity1", 1);
    s.KeySensitivity2 = r.Real("KeySensitivity2", 2);
    s.KeySensitivity3 = r.Real("KeySensitivity3", 5);
    s.WheelSensitivity = r.Real("WheelSensitivity", 5);
    s.MinTrackPoints = std::max(r.Int("MinTrackPoints", 2), 2);
    s.MinTrackLength = r.Real("MinTrackLength", 0);
    s.LastTrackMode = r.Int("LastTrackMode", 1);
    if (s.LastTrackMode < 1 || s.LastTrackMode > 3) s.LastTrackMode = 1;
    for (int n = 1; n <= FavoriteCount; ++n)
        s.Favorites[n - 1] = ParseFavoritePoint(r.Text(NumberedKey("FavoritePoint", n), DefaultFavoriteRecord));
    s.TimerWaits = r.Int("TimerWaits", 0);
    s.ChangeWaits = r.Int("ChangeWaits", 0);

    // Linux-only keys, set by hand; SaveSettings leaves them alone.
    s.Outputs[0].Device.clear();
    for (int n = 1; n < OutputCount; ++n)
        s.Outputs[n].Device = r.Text(OutputKey(n, "Device"), "", PathValueChars);
    s.VirtualPortDir = r.Text("VirtualPortDir", "", PathValueChars);
    s.VirtualPortGroup = r.Text("VirtualPortGroup", "dialout", PathValueChars);
    s.OziApiLibrary = r.Text("OziApiLibrary", "oziapi.so", PathValueChars);
    s.Language = r.Text("Language", "", PathValueChars);
    s.MapTileUrl = r.Text("MapTileUrl", DefaultMapTileUrl, PathValueChars);
    s.MapTileFile = r.Text("MapTileFile", "", PathValueChars);
    s.MapWindowOpen = r.Flag("MapWindowOpen", false);

    // The receiver's realism; every key absent means off.
    SkySettings& sky = s.Sky;
    sky.Enabled = r.Flag("SkyRealism", false);
    sky.Systems = ParseGnssSystems(r.Text("SkySystems", "gps")).value_or(SystemBit(GnssSystem::Gps));
    sky.AlmanacFile = r.Text("SkyAlmanac", "", PathValueChars);
    sky.MaskDeg = std::clamp(r.Real("SkyMask", 5), 0.0, 90.0);
    sky.Uere = std::clamp(r.Real("SkyUERE", 0), 0.0, MaxUere);
    sky.CorrelationTime = std::clamp(r.Real("SkyCorrelationTime", 60), MinCorrelationTime, MaxCorrelationTime);
    sky.Seed = static_cast<std::uint32_t>(std::clamp<long long>(
        static_cast<long long>(LeadingReal(r.Text("SkySeed", "0"))), 0, UINT32_MAX));
}

bool LoadSettings(const std::string& path, Settings& settings, SimFix& fix, std::string& error)
{
    std::string text;
    const ReadStatus status = ReadWholeFile(path, text, error, MaxSettingsFileBytes);
    LoadSettings(IniFile::Parse(text), settings, fix);
    return status != ReadStatus::Failed;
}

void LoadSettings(const std::string& path, Settings& settings, SimFix& fix)
{
    std::string error;
    LoadSettings(path, settings, fix, error);
}

void SaveSettings(IniFile& ini, const Settings& s, const SimFix& fix, double speedToWrite)
{
    Writer w(ini);
    w.Text("Version", SettingsVersion);
    w.Real("Latitude", fix.Latitude);
    w.Real("Longitude", fix.Longitude);
    w.Real("Altitude", fix.Altitude);
    w.SpeedKmh("Speed", speedToWrite);
    w.Real("Course", fix.Course);
    w.Flag("AlwaysOnTop", s.AlwaysOnTop);
    w.Color("Text1ColorRGB", s.Text1Color);
    w.Color("Text2ColorRGB", s.Text2Color);
    w.Color("Text3ColorRGB", s.Text3Color);
    w.Text("FontFaceName", s.FontFaceName, FontFaceChars);

    const OutputSettings& ozi = s.Outputs[0];
    w.Flag("OziActive", ozi.Active);
    w.Flag("OziNoNMEA", ozi.NoNMEA);
    w.Int("OziInterval", ozi.Interval);
    for (int k = 0; k < SentenceCount; ++k) {
        const std::string key = std::string("Ozi") + SentenceKeys[k];
        if (k < ClassicSentenceCount || w.Wanted(key, !ozi.Send[k])) w.Flag(key, ozi.Send[k]);
    }

    for (int n = 1; n < OutputCount; ++n) {
        const OutputSettings& o = s.Outputs[n];
        w.Flag(OutputKey(n, "Active"), o.Active);
        w.Int(OutputKey(n, "Port"), static_cast<long long>(o.Port) + 1);
        w.Flag(OutputKey(n, "Virtual"), o.Virtual);
        w.Int(OutputKey(n, "BaudRateIndex"), o.BaudRateIndex);
        w.Int(OutputKey(n, "ParityIndex"), o.ParityIndex);
        w.Int(OutputKey(n, "StopBitsIndex"), o.StopBitsIndex);
        w.Int(OutputKey(n, "Interval"), o.Interval);
        for (int k = 0; k < SentenceCount; ++k) {
            const std::string key = OutputKey(n, SentenceKeys[k]);
            if (k < ClassicSentenceCount || w.Wanted(key, !o.Send[k])) w.Flag(key, o.Send[k]);
        }
        // Written once an output has been a network output, so a file that never had one stays as it was.
        const std::string netKey = OutputKey(n, "Net");
        if (!o.Net.empty() || ini.Find(SettingsSection, netKey)) w.Text(netKey, o.Net, NetValueChars);
    }

    w.SpeedKmh("GPSUpperSpeed", s.GPSUpperSpeed);
    w.SpeedKmh("GPSLowerSpeed", s.GPSLowerSpeed);
    w.Real("GPSTimeOffset", s.GPSTimeOffset);
    w.Real("GPSTimeFactor", s.GPSTimeFactor);
    w.Int("StepIndex", s.StepIndex);
    w.Real("Step", s.Step);
    w.Int("LatLonFormatIndex", s.LatLonFormatIndex);
    w.Real("KeySensitivity1", s.KeySensitivity1);
    w.Real("KeySensitivity2", s.KeySensitivity2);
    w.Real("KeySensitivity3", s.KeySensitivity3);
    w.Real("WheelSensitivity", s.WheelSensitivity);
    w.Int("MinTrackPoints", s.MinTrackPoints);
    w.Real("MinTrackLength", s.MinTrackLength);
    w.Int("LastTrackMode", s.LastTrackMode);
    for (int n = 1; n <= FavoriteCount; ++n)
        w.Text(NumberedKey("FavoritePoint", n), FormatFavoritePoint(s.Favorites[n - 1]));
    w.Int("TimerWaits", s.TimerWaits);
    w.Int("ChangeWaits", s.ChangeWaits);
    w.Flag("MapWindowOpen", s.MapWindowOpen);

    const SkySettings& sky = s.Sky;
    const SkySettings off;
    if (w.Wanted("SkyRealism", !sky.Enabled)) w.Flag("SkyRealism", sky.Enabled);
    if (w.Wanted("SkySystems", sky.Systems == off.Systems)) w.Text("SkySystems", FormatGnssSystems(sky.Systems));
    if (w.Wanted("SkyAlmanac", sky.AlmanacFile.empty())) w.Text("SkyAlmanac", sky.AlmanacFile, PathValueChars);
    if (w.Wanted("SkyMask", sky.MaskDeg == off.MaskDeg)) w.Real("SkyMask", sky.MaskDeg);
    if (w.Wanted("SkyUERE", sky.Uere == off.Uere)) w.Real("SkyUERE", sky.Uere);
    if (w.Wanted("SkyCorrelationTime", sky.CorrelationTime == off.CorrelationTime))
        w.Real("SkyCorrelationTime", sky.CorrelationTime);
    if (w.Wanted("SkySeed", sky.Seed == off.Seed)) w.Int("SkySeed", sky.Seed);
}

bool SaveSettings(const std::string& path, const Settings& settings, const SimFix& fix, double speedToWrite,
                  std::string& error)
{
    std::string text;
    // A file that exists but cannot be read is not overwritten: its other keys would be lost.
    if (ReadWholeFile(path, text, error) == ReadStatus::Failed) return false;
    IniFile ini = IniFile::Parse(text);
    SaveSettings(ini, settings, fix, speedToWrite);
    return WriteFileAtomically(path, ini.Serialize(), error);
}

}  // namespace tolvex
