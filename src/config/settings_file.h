#pragma once
// The settings file: section [Tolvex] of an INI file, read once at start and written once at
// close. Keys, value forms, defaults and load checks are those the Windows build used, so a file
// moved between the two reads the same.

#include <optional>
#include <string>
#include <string_view>

#include "config/ini_file.h"
#include "config/settings.h"
#include "sim/sim_fix.h"

namespace tolvex {

inline constexpr std::string_view SettingsSection = "Tolvex";
inline constexpr std::string_view SettingsVersion = "0.3.1";
inline constexpr std::string_view UnnamedFavorite = "未命名";
inline constexpr std::string_view DefaultFavoriteRecord = "未命名,0,0,0,0";
inline constexpr std::size_t FavoriteNameChars = 63;
inline constexpr std::size_t FontFaceChars = 255;
inline constexpr std::size_t TextValueChars = 257;
inline constexpr std::size_t RealTextChars = 31;

// The executable path with its extension replaced by "ini", or ".ini" appended when the file
// name has none ("/opt/a.b/tolvex" gives "/opt/a.b/tolvex.ini").
std::string SettingsPathFor(const std::string& exePath);

// The settings file beside the running executable when one already exists there, otherwise
// $XDG_CONFIG_HOME/tolvex/Tolvex.ini (or ~/.config/tolvex/Tolvex.ini), whose folder is created.
std::string DefaultSettingsPath();

// Empty when the settings file at path can be written at the close; otherwise the folder and the
// system's reason, so that a run can refuse at its start instead of failing after its work.
std::string SettingsFolderProblem(const std::string& path);

// DefaultSettingsPath for a given executable and environment (either may be null or empty).
std::string ChooseSettingsPath(const std::string& exePath, const char* xdgConfigHome,
                               const char* home);

// Reads every setting and the fix from the file; a missing or unreadable file or key gives the
// default. Every field of settings and fix is assigned.
void LoadSettings(const std::string& path, Settings& settings, SimFix& fix);
void LoadSettings(const IniFile& ini, Settings& settings, SimFix& fix);
// The same, false with the message in error when the file exists but is no regular file, is too
// large or cannot be read (the defaults are loaded then).
bool LoadSettings(const std::string& path, Settings& settings, SimFix& fix, std::string& error);

// Writes every setting and the fix into the file, keeping every other key, comment and section
// of it. speedToWrite is the fix speed in m/s to store (SavedSpeed while paused). Returns false
// with a message in error when the file could not be read or replaced; the old file then stays.
bool SaveSettings(const std::string& path, const Settings& settings, const SimFix& fix,
                  double speedToWrite, std::string& error);
void SaveSettings(IniFile& ini, const Settings& settings, const SimFix& fix, double speedToWrite);

// One favourite point value "name,lat,lon,alt,course". A text of fewer than 9 characters is
// taken as "未命名,0,0,0,0"; missing fields and fields that are not finite numbers give 0; the
// name is cut to 63 characters.
FavoritePoint ParseFavoritePoint(std::string_view text);

// "%s,%.15f,%.15f,%f,%f" of the point; commas in the name become "-" so the record splits back
// the same, the name is cut to 63 characters and the whole text to 257.
std::string FormatFavoritePoint(const FavoritePoint& point);

// A real value as written to the file: "%.15f", cut to the 31 characters a reader takes, and
// for magnitudes whose integer digits alone exceed that, the shortest exact form instead.
std::string FormatSettingReal(double value);

// A speed in m/s as the file keeps it, in km/h: the shortest value that reads back as the same
// speed, in the form of FormatSettingReal.
std::string FormatSettingSpeed(double mps);

// Ranges the settings load and the options keep the noise settings in.
inline constexpr double MaxUere = 1000;  // metres
inline constexpr double MinCorrelationTime = 1;
inline constexpr double MaxCorrelationTime = 86400;  // seconds

// "gps,galileo" as bits of SkySettings::Systems (names in any case, blanks around them allowed);
// nothing when a name is unknown or the list is empty.
std::optional<unsigned> ParseGnssSystems(std::string_view text);
std::string FormatGnssSystems(unsigned systems);

// Swaps the red and blue bytes: RRGGBB as written <-> COLORREF 0x00BBGGRR; bits 24..31 are 0.
ColorRef SwapRedBlue(std::uint32_t value);

}  // namespace tolvex
