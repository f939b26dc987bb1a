// tolvex export and tolvex info: a track loaded as the window loads it, then written out as an
// NMEA file or listed as the segment dialog lists it.

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/console_host.h"
#include "config/settings_file.h"
#include "nmea/export.h"
#include "nmea/output_table.h"
#include "sim/clock.h"
#include "tracks/replay.h"
#include "sim/lat_lon_format.h"
#include "tracks/track_loader.h"

namespace tolvex {
namespace {

struct TrackCommandOptions {
    std::string TrackPath;
    std::string ConfigPath;
    std::string Gpx = "tracks";
};

struct ExportCommandOptions : TrackCommandOptions {
    std::string OutputPath;
    std::string Mode;
    std::optional<double> SpeedKmh;
    std::optional<double> Ratio;
    bool Reverse = false;
    std::optional<double> Offset;
    int Segment = 0;
    std::string Sentences = "RMC,GGA,GSA,GSV";
    std::string StartTime;
    std::optional<double> TimeOffset;
    std::optional<double> TimeFactor;
    bool TrackTimes = false;
};

struct InfoCommandOptions : TrackCommandOptions {
    std::optional<int> Format;
};


void Complain(const std::string& text)
{
    std::fprintf(stderr, "tolvex: %s\n", text.c_str());
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::optional<std::array<bool, SentenceCount>> ParseSentences(const std::string& list)
{
    std::array<bool, SentenceCount> chosen{};
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string name = Upper(list.substr(start, end - start));
        const auto it = std::find(SentenceNames.begin(), SentenceNames.end(), name);
        if (it == SentenceNames.end())
            return std::nullopt;
        chosen[it - SentenceNames.begin()] = true;
        start = end + 1;
    }
    return chosen;
}

constexpr long long DaysFromCivilDate(long long year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}
static_assert(DaysFromCivilDate(2009, 10, 11) == 14528);

// "2009-10-11T12:00:00Z", "2009-10-11 12:00:00", "2009-10-11T20:00:00+08:00"; fractions of a
// second are dropped. Seconds since 1970 UTC.
std::optional<long long> ParseStartTime(const std::string& text)
{
    int year, month, day, hour, minute, second, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%*1[T ]%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                    &used) != 6 ||
        used == 0)
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || year < 1970)
        return std::nullopt;
    std::string rest = text.substr(static_cast<std::size_t>(used));
    if (!rest.empty() && rest[0] == '.') {
        std::size_t i = 1;
        while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])))
            ++i;
        rest.erase(0, i);
    }
    long long zone = 0;
    if (rest.empty() || rest == "Z" || rest == "z") {
        zone = 0;
    } else {
        int zh = 0, zm = 0, zoneUsed = 0;
        const char sign = rest[0];
        if ((sign != '+' && sign != '-') ||
            std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &zh, &zm, &zoneUsed) != 2 ||
            static_cast<std::size_t>(zoneUsed) + 1 != rest.size())
            return std::nullopt;
        zone = (sign == '-' ? -1 : 1) * (zh * 3600LL + zm * 60LL);
    }
    return DaysFromCivilDate(year, month, day) * 86400 + hour * 3600LL + minute * 60LL + second - zone;
}

std::optional<GpxContent> ParseGpxChoice(const std::string& text)
{
    const std::string t = Upper(text);
    if (t == "TRACKS")
        return GpxContent::Tracks;
    if (t == "ROUTES")
        return GpxContent::Routes;
    if (t == "BOTH")
        return GpxContent::Both;
    return std::nullopt;
}

// What the window holds for a track: settings, fix, store and replay.
struct TrackSession {
    explicit TrackSession(const TrackCommandOptions& options)
    {
        const std::string path = options.ConfigPath.empty() ? DefaultSettingsPath() : options.ConfigPath;
        SettingsUsable = LoadSettings(path, Settings, Fix, SettingsError);
        if (const auto gpx = ParseGpxChoice(options.Gpx))
            Host.GpxChoice = *gpx;
    }

    bool Load(const std::string& trackPath)
    {
        if (!SettingsUsable) {
            Complain(SettingsError);
            return false;
        }
        const LoadOutcome outcome = LoadTrackFile(trackPath, Store, Replay, Settings, Host);
        if (!outcome.Loaded && !outcome.MessageShown)
            Complain("no track loaded from " + trackPath + " (no segment passes the filter)");
        return outcome.Loaded;
    }

    ConsoleHost Host;
    bool SettingsUsable = true;
    std::string SettingsError;
    tolvex::Settings Settings;
    SimFix Fix;
    TrackStore Store;
    OutputTable Outputs{};
    bool ExportRunning = false;
    tolvex::Replay Replay{Fix, Settings, Outputs, Host, Store, ExportRunning};
};

int RunExport(const ExportCommandOptions& options)
{
    if (!ParseGpxChoice(options.Gpx)) {
        Complain("--gpx takes tracks, routes or both");
        return 1;
    }
    const auto sentences = ParseSentences(options.Sentences);
    if (!sentences) {
        Complain("--sentences takes a comma-separated list of RMC, GGA, GSA, GSV, GLL, VTG");
        return 1;
    }
    std::optional<long long> start;
    if (!options.StartTime.empty() && !(start = ParseStartTime(options.StartTime))) {
        Complain("--start-time takes a UTC time such as 2009-10-11T12:00:00Z");
        return 1;
    }

    TrackSession session(options);
    if (options.TimeOffset)
        session.Settings.GPSTimeOffset = *options.TimeOffset;
    if (options.TimeFactor)
        session.Settings.GPSTimeFactor = *options.TimeFactor;
    // The track's own times stand as they are: only an offset given here shifts them.
    if (options.TrackTimes && !options.TimeOffset)
        session.Settings.GPSTimeOffset = 0;
    if (!session.Load(options.TrackPath))
        return 1;

    Replay& replay = session.Replay;
    if (!options.Mode.empty()) {
        const std::string mode = Upper(options.Mode);
        replay.SetTrackMode(mode == "P" ? TrackMode::P : mode == "M" ? TrackMode::M : TrackMode::S);
    }
    if (options.Reverse)
        replay.ToggleReverse();
    if (options.Offset) {
        replay.SetLateralOffset(*options.Offset);
        replay.ApplyLateralOffset();
    }
    if (options.TrackTimes) {
        if (replay.Mode() != TrackMode::S) {
            Complain("--track-times needs mode S (--mode S): only mode S follows the track's own time");
            return 1;
        }
        if (options.Ratio && *options.Ratio != 1) {
            Complain("--track-times replays at ratio 1");
            return 1;
        }
        if (!TrackCarriesTimes(session.Store)) {
            Complain("--track-times: " + options.TrackPath + " carries no times");
            return 1;
        }
        replay.SetSpeedRatio(1);
        replay.UpdateReplaySpeed();
    } else if (options.Ratio) {
        replay.SetSpeedRatio(*options.Ratio);
        replay.UpdateReplaySpeed();
    }
    if (options.SpeedKmh && replay.Mode() == TrackMode::M)
        session.Fix.Speed = *options.SpeedKmh / KmhPerMps;

    const int segments = session.Store.SegmentCountTotal();
    if (options.Segment > segments) {
        Complain("--segment " + std::to_string(options.Segment) + ": the track has " + std::to_string(segments) +
                 " segment(s)");
        return 1;
    }

    FixClock clock;
    if (start) {
        clock.FixClockStart = *start;
        clock.ExportSentenceCount = 0;
    }
    SystemCalendarClock calendar;
    const RunState runState = RunState::Stopped;
    NmeaExport exporter(replay, session.Fix, session.Settings, runState, clock, calendar, session.ExportRunning,
                        session.Host);
    if (!exporter.CheckSpeed())
        return 1;
    bool progressShown = false;
    if (isatty(STDERR_FILENO)) {
        exporter.Progress = [&progressShown](int point, int points) {
            progressShown = true;
            std::fprintf(stderr, "\rtolvex: point %d of %d ", point, points);
            std::fflush(stderr);
            return true;
        };
    }
    ExportOptions exportOptions;
    exportOptions.Sentences = *sentences;
    exportOptions.Segment = options.Segment;
    exportOptions.TrackTimes = options.TrackTimes;
    const auto status = exporter.SaveAs(options.OutputPath, exportOptions);
    if (progressShown)
        std::fputc('\n', stderr);
    if (!status)
        return 1;
    Complain("saved " + options.OutputPath + " (" + std::to_string(clock.ExportSentenceCount) + " records)");
    return 0;
}

// The segment dialog's list in English: number, name, points, length, first point.
void PrintSegments(const TrackStore& store, int format)
{
    // The coordinate texts of the lists without their Chinese "纬度" / "经度" labels.
    const auto bare = [](const std::string& text) {
        const std::size_t space = text.find(' ');
        return space == std::string::npos ? text : text.substr(space + 1);
    };
    int number = 0;
    double total = 0;
    for (const TrackSegment& segment : store.ActiveSegments()) {
        const TrackPoint* first = store.PointAt(segment.FirstPoint - 1);
        const LatLonText at = FormatLatLon(format, first ? first->Latitude : 0, first ? first->Longitude : 0);
        const std::string name = segment.Name.empty() ? std::string() : "\"" + segment.Name + "\" ";
        std::printf("%3d: %s%d points, %.1f km, from %s %s\n", ++number, name.c_str(), segment.PointCount,
                    segment.Length / 1000, bare(at.Latitude).c_str(), bare(at.Longitude).c_str());
        total += segment.Length;
    }
    std::printf("%d segment%s, %d points, %.1f km\n", store.SegmentCountTotal(), store.SegmentCountTotal() == 1 ? "" : "s",
                store.PointCountTotal(), total / 1000);
}

int RunInfo(const InfoCommandOptions& options)
{
    if (!ParseGpxChoice(options.Gpx)) {
        Complain("--gpx takes tracks, routes or both");
        return 1;
    }
    TrackSession session(options);
    if (!session.Load(options.TrackPath))
        return 1;
    PrintSegments(session.Store, options.Format.value_or(session.Settings.LatLonFormatIndex));
    if (!session.Store.LoadRemarks.empty())
        std::printf("%s\n", session.Store.LoadRemarks.c_str());
    if (const int skipped = session.Store.SkippedPoints(); skipped > 0)
        std::printf("%d point%s skipped: position not a number or beyond ±90° latitude / ±180° longitude\n", skipped,
                    skipped == 1 ? "" : "s");
    return 0;
}

void AddCommonOptions(CLI::App* command, TrackCommandOptions& options)
{
    command->add_option("TRACK", options.TrackPath, "Track file (.plt, .gpx, .kml, .gpssim, .trk, or an NMEA log .nmea, .nma, .log, .txt)")->required();
    command->add_option("--config", options.ConfigPath,
                        "Settings file (default: $XDG_CONFIG_HOME/tolvex/Tolvex.ini, or tolvex.ini beside the "
                        "executable when that file exists)");
    command->add_option("--gpx", options.Gpx, "What a GPX file with tracks and routes loads: tracks, routes or both");
}

}  // namespace

void AddTrackCommands(CLI::App& app)
{
    auto exportOptions = std::make_shared<ExportCommandOptions>();
    CLI::App* exportCommand =
        app.add_subcommand("export", "Write a track out as an NMEA-0183 file, replayed as the window would replay it");
    AddCommonOptions(exportCommand, *exportOptions);
    exportCommand->add_option("-o,--output", exportOptions->OutputPath, "NMEA file to create or replace")->required();
    exportCommand->add_option("--mode", exportOptions->Mode, "Replay mode P, M or S (default: the mode used last)")
        ->check(CLI::IsMember({"P", "M", "S"}, CLI::ignore_case));
    exportCommand->add_option("--speed", exportOptions->SpeedKmh, "Speed of mode M, km/h")
        ->check(CLI::Range(0.0, 99999.0));
    exportCommand->add_option("--ratio", exportOptions->Ratio, "Speed ratio of mode S")->check(CLI::NonNegativeNumber);
    exportCommand->add_flag("--reverse", exportOptions->Reverse, "Replay the track backwards");
    exportCommand->add_option("--offset", exportOptions->Offset, "Lateral offset, metres, positive to the right");
    exportCommand->add_option("--segment", exportOptions->Segment, "Export only this segment (1-based)")
        ->check(CLI::PositiveNumber);
    exportCommand->add_option("--sentences", exportOptions->Sentences,
                              "Sentences per record, from RMC,GGA,GSA,GSV,GLL,VTG (default RMC,GGA,GSA,GSV)");
    exportCommand->add_option("--start-time", exportOptions->StartTime,
                              "Clock start (UTC, ISO 8601); the first record is one step later");
    exportCommand->add_option("--time-offset", exportOptions->TimeOffset, "GPS time offset, hours");
    exportCommand->add_option("--time-factor", exportOptions->TimeFactor, "GPS time factor")
        ->check(CLI::NonNegativeNumber);
    exportCommand->add_flag("--track-times", exportOptions->TrackTimes,
                            "Mode S: stamp each record with the track's own time (ratio 1), so a GPX file comes "
                            "back as an NMEA log with its original times");
    exportCommand->callback([exportOptions] { SetCommandExitCode(RunExport(*exportOptions)); });

    auto infoOptions = std::make_shared<InfoCommandOptions>();
    CLI::App* infoCommand = app.add_subcommand("info", "List the segments of a track as the segment dialog shows them");
    AddCommonOptions(infoCommand, *infoOptions);
    infoCommand->add_option("--format", infoOptions->Format, "Coordinates: 0 degrees, 1 degrees and minutes, 2 DMS")
        ->check(CLI::Range(0, 2));
    infoCommand->callback([infoOptions] { SetCommandExitCode(RunInfo(*infoOptions)); });
}

}  // namespace tolvex
