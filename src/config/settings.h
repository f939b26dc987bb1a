#pragma once
// Every persistent setting, with the defaults a missing INI file gives. The fix itself is kept in
// SimFix; LoadSettings/SaveSettings carry it alongside.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/sim_fix.h"

namespace tolvex {

inline constexpr int OutputCount = 4;        // output 0 is the OziExplorer link, 1..3 serial ports
inline constexpr int FavoriteCount = 20;
inline constexpr int MaxComPort = 30;
inline constexpr std::string_view DefaultMapTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

enum class Sentence : int { RMC = 0, GGA = 1, GSA = 2, GSV = 3, GLL = 4, VTG = 5, ZDA = 6, GST = 7, HDT = 8 };
inline constexpr int SentenceCount = 9;
// The first six are the receiver's classic set; ZDA, GST and HDT came later and are off unless ticked.
inline constexpr int ClassicSentenceCount = 6;
inline constexpr std::array<const char*, SentenceCount> SentenceNames = {"RMC", "GGA", "GSA", "GSV", "GLL",
                                                                         "VTG", "ZDA", "GST", "HDT"};

// Satellite systems the sky model can fly, as bits of SkySettings::Systems.
enum class GnssSystem : int { Gps = 0, Glonass = 1, Galileo = 2, Beidou = 3 };
inline constexpr int GnssSystemCount = 4;
inline constexpr std::array<const char*, GnssSystemCount> GnssSystemNames = {"gps", "glonass", "galileo", "beidou"};
inline constexpr unsigned SystemBit(GnssSystem s) { return 1u << static_cast<int>(s); }

// The receiver's realism: moving satellites, DOP from geometry, noise, fix loss. Off by default, and
// then every sentence is the fixed text of a receiver with four satellites.
struct SkySettings {
    bool Enabled = false;
    unsigned Systems = SystemBit(GnssSystem::Gps);
    std::string AlmanacFile;         // YUMA or SEM for GPS; empty: the nominal constellation
    double MaskDeg = 5;              // elevation mask, degrees
    double Uere = 0;                 // metres; 0: no noise
    double CorrelationTime = 60;     // seconds of the noise process
    std::uint32_t Seed = 0;          // 0: a new seed each run
    bool operator==(const SkySettings&) const = default;
};

inline constexpr std::array<int, 12> BaudRates = {1200, 2400, 4800, 9600, 14400, 19200,
                                                  38400, 56000, 57600, 115200, 128000, 256000};

struct OutputSettings {
    bool Active = false;
    int Interval = 1000;  // ms, multiple of 20 within [100, 60000]
    std::array<bool, SentenceCount> Send = {true, true, true, true, false, false};
    bool NoNMEA = false;     // output 0 only
    bool Virtual = true;     // outputs 1..3
    int Port = 0;            // 0-based: 0 is COM1
    int BaudRateIndex = 2;   // into BaudRates
    int ParityIndex = 0;     // 0 none, 1 odd, 2 even
    int StopBitsIndex = 0;   // 0 one, 1 one and a half, 2 two
    std::string Device;      // Output%dDevice: a device path that replaces /dev/ttyS<Port> when set
    std::string Net;         // Output%dNet: "tcp-listen:10110", "tcp:HOST:PORT", "udp:HOST:PORT"; empty for a serial port
};

struct FavoritePoint {
    std::string Name = "未命名";  // at most 63 characters, never a comma
    double Latitude = 0;
    double Longitude = 0;
    double Altitude = 0;
    double Course = 0;
};

// A Windows COLORREF: 0x00BBGGRR.
using ColorRef = std::uint32_t;

struct Settings {
    // Display
    bool AlwaysOnTop = false;
    ColorRef BackColor = 0xEEF3F4;   // "F4F3EE"
    ColorRef Text1Color = 0x000000;  // "000000"
    ColorRef Text2Color = 0xFF0000;  // "0000FF"
    ColorRef Text3Color = 0xFF0000;  // "0000FF"
    std::string FontFaceName = "Times New Roman";

    // Outputs 0..3
    std::array<OutputSettings, OutputCount> Outputs = DefaultOutputs();

    // GPS group (speeds in m/s in memory, km/h in the file)
    double GPSUpperSpeed = 99999 / KmhPerMps;
    double GPSLowerSpeed = 0;
    double GPSTimeOffset = 0;  // hours
    double GPSTimeFactor = 1;

    // Step, format and sensitivity group
    int StepIndex = 1;
    double Step = 0.00001;  // degrees per jump-key move
    int LatLonFormatIndex = 0;
    double KeySensitivity1 = 1;
    double KeySensitivity2 = 2;
    double KeySensitivity3 = 5;
    double WheelSensitivity = 5;

    // Segment filter and replay
    int MinTrackPoints = 2;
    double MinTrackLength = 0;  // metres
    int LastTrackMode = 1;

    std::array<FavoritePoint, FavoriteCount> Favorites{};

    int TimerWaits = 0;
    int ChangeWaits = 0;

    // Folder of the virtual COM port links; empty means the default runtime folder.
    std::string VirtualPortDir;
    // Group given to the virtual ports' terminals (mode 0660), as a real serial port has, so a
    // daemon such as gpsd running as its own user can open them; empty keeps them owner-only.
    std::string VirtualPortGroup = "dialout";
    // Shared library of the OziExplorer API.
    std::string OziApiLibrary = "oziapi.so";

    // The map window: tile URL pattern ({z}/{x}/{y}; empty: no online tiles), an MBTiles file that
    // replaces it when set, and whether the window is open.
    std::string MapTileUrl = std::string(DefaultMapTileUrl);
    std::string MapTileFile;
    bool MapWindowOpen = false;
    // The window's language, "en" or "zh_CN"; empty: the locale's.
    std::string Language;
    SkySettings Sky;

    static std::array<OutputSettings, OutputCount> DefaultOutputs()
    {
        std::array<OutputSettings, OutputCount> o{};
        o[0].Interval = 500;
        o[1].Active = true;
        o[1].Port = 2;   // COM3
        o[2].Port = 14;  // COM15
        o[3].Port = 26;  // COM27
        return o;
    }
};

}  // namespace tolvex
