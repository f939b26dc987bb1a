// tolvex run: the simulator without a window. Run is pressed at start; SIGINT or SIGTERM closes it
// the way the window closes (settings saved, Stopped, outputs closed).

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "cli/commands.h"
#include "cli/console_host.h"
#include "config/settings_file.h"
#include "links/ozi_api_link.h"
#include "links/port_factory.h"
#include "nmea/log_player.h"
#include "sim/clock.h"
#include "sim/engine_simulator.h"
#include "tracks/track_loader.h"

namespace tolvex {
namespace {

std::atomic<bool> g_closeRequested{false};

extern "C" void RequestClose(int) { g_closeRequested = true; }

void Event(const char* format, auto... args)
{
    std::fprintf(stderr, "tolvex: ");
    std::fprintf(stderr, format, args...);
    std::fputc('\n', stderr);
}

struct RunOptions {
    std::string ConfigPath;
    double Seconds = 0;  // 0: until a signal
    bool Stdout = false;
    std::string VirtualDir;
    std::optional<double> Latitude, Longitude, Altitude, SpeedKmh, Course;
    std::string TrackPath;
    std::string Mode;   // P, M or S; empty: the mode used last
    std::string Loop;   // none, file or segment
    bool Reverse = false;
    std::optional<double> Ratio;
    std::string PlayPath;  // a recorded log sent instead of the simulated fix
    double Rate = 1;
};

// Loads the track as the window does and applies the replay options as the menu would.
bool StartReplay(const RunOptions& options, Simulator& sim, Host& host)
{
    const LoadOutcome outcome = LoadTrackFile(options.TrackPath, sim.Track, sim.TrackReplay, sim.Core.Options, host);
    if (!outcome.Loaded) {
        if (!outcome.MessageShown) Event("no track loaded from %s", options.TrackPath.c_str());
        return false;
    }
    Replay& replay = sim.TrackReplay;
    if (!options.Mode.empty()) {
        const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(options.Mode[0])));
        replay.SetTrackMode(m == 'P' ? TrackMode::P : m == 'M' ? TrackMode::M : TrackMode::S);
    }
    if (options.Loop == "file") replay.SetLoopMode(LoopMode::FileLoop);
    if (options.Loop == "segment") replay.SetLoopMode(LoopMode::SegmentLoop);
    if (options.Reverse) replay.ToggleReverse();
    if (options.Ratio) {
        replay.SetSpeedRatio(*options.Ratio);
        replay.UpdateReplaySpeed();
    }
    static constexpr const char* ModeNames[] = {"free", "P", "M", "S"};
    Event("track %s: %d segments, %d points, mode %s", options.TrackPath.c_str(), sim.Track.SegmentCountTotal(),
          sim.Track.PointCountTotal(), ModeNames[static_cast<int>(replay.Mode())]);
    return true;
}


void ReportOutputs(const Engine& engine)
{
    if (engine.Outputs[0].LinkUp) Event("output 0 OziExplorer link up");
    if (engine.Outputs[0].StartFailed) Event("output 0 failed to start");
    for (int k = 1; k < OutputCount; ++k) {
        const OutputRuntime& output = engine.Outputs[k];
        // A virtual port's line names the link other programs open and the terminal behind it.
        if (output.OpenPort && output.OpenPort->IsVirtual()) std::fprintf(stderr, "%s\n", output.OpenPort->Describe().c_str());
        if (output.OpenPort && !output.OpenPort->IsVirtual()) Event("output %d %s", k, output.OpenPort->Describe().c_str());
        if (output.StartFailed) Event("output %d failed to start", k);
    }
}

// The panel in one line, rewritten in place while a terminal watches.
void PrintStatus(const Engine& engine)
{
    static constexpr const char* StateNames[] = {"", "Stopped", "Running", "Paused"};
    if (const LogPlayer* player = engine.Player()) {
        std::fprintf(stderr, "\r%-7s line %d   ", StateNames[static_cast<int>(engine.State) & 3], player->LineNumber());
        std::fflush(stderr);
        return;
    }
    const SimFix& f = engine.Fix;
    std::fprintf(stderr, "\r%-7s %11.6f %12.6f  %8.1f km/h  course %5.1f  alt %.1f m   ",
                 StateNames[static_cast<int>(engine.State) & 3], f.Latitude, f.Longitude, f.Speed * KmhPerMps,
                 f.Course, f.Altitude);
    std::fflush(stderr);
}

int Run(const RunOptions& options)
{
    ConsoleHost host;
    SystemCalendarClock calendar;
    Settings settings;
    SimFix fix;
    const std::string path = options.ConfigPath.empty() ? DefaultSettingsPath() : options.ConfigPath;
    if (std::string error; !LoadSettings(path, settings, fix, error)) {
        std::fprintf(stderr, "tolvex: %s\n", error.c_str());
        return 1;
    }
    const std::string virtualDir = options.VirtualDir.empty() ? settings.VirtualPortDir : options.VirtualDir;

    SystemPortFactory ports(virtualDir);
    std::unique_ptr<OziLink> ozi = MakeOziApiLink(settings);
    Simulator sim(host, calendar, ports, ozi.get());
    Engine& engine = sim.Core;
    engine.Options = settings;
    engine.Fix = fix;
    if (options.Latitude) engine.Fix.Latitude = std::clamp(*options.Latitude, -90.0, 90.0);
    if (options.Longitude) engine.Fix.Longitude = std::clamp(*options.Longitude, -180.0, 180.0);
    if (options.Altitude) engine.Fix.Altitude = std::clamp(*options.Altitude, -MaxAltitude, MaxAltitude);
    if (options.SpeedKmh) engine.Fix.Speed = std::clamp(*options.SpeedKmh / KmhPerMps, 0.0, MaxSpeedMps);
    if (options.Course) engine.Fix.Course = std::clamp(*options.Course, 0.0, 360.0);
    if (options.Stdout) {
        engine.MirrorOutput1 = [](const char* text, int length) {
            std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
            std::fflush(stdout);
        };
    }

    std::signal(SIGINT, RequestClose);
    std::signal(SIGTERM, RequestClose);
    std::signal(SIGPIPE, SIG_IGN);

    std::optional<LogPlayer> player;
    if (!options.PlayPath.empty()) {
        std::string error;
        player = LogPlayer::Open(options.PlayPath, options.Rate, !options.Loop.empty() && options.Loop != "none", error);
        if (!player) {
            Event("%s", error.c_str());
            return 1;
        }
        engine.SetPlayer(&*player);
    }

    Event("started with settings %s", path.c_str());
    if (!options.TrackPath.empty() && !StartReplay(options, sim, host)) return 1;
    engine.RunCommand();
    ReportOutputs(engine);
    if (player)
        Event("playing %s at rate %g: on virtual ports once a program opens one", options.PlayPath.c_str(), options.Rate);

    // Tick n is due at start + n × 20 ms on the steady clock: a late tick is caught up at once, so
    // the long-run cadence never slips.
    using Clock = std::chrono::steady_clock;
    constexpr auto TickPeriod = std::chrono::milliseconds(20);
    const long long totalTicks = options.Seconds > 0 ? static_cast<long long>(options.Seconds * 50 + 0.5) : -1;
    const bool showStatus = isatty(STDERR_FILENO) && !options.Stdout;
    const Clock::time_point start = Clock::now();
    for (long long n = 1; totalTicks < 0 || n <= totalTicks; ++n) {
        std::this_thread::sleep_until(start + n * TickPeriod);
        if (g_closeRequested) break;
        engine.TimerTick();
        if (showStatus && n % 25 == 0) PrintStatus(engine);
        if (player && player->Finished()) break;
    }
    if (player) Event("played %s to line %d", options.PlayPath.c_str(), player->LineNumber());
    if (showStatus) std::fputc('\n', stderr);

    int code = 0;
    std::string error;
    if (SaveSettings(path, engine.Options, engine.Fix, engine.SpeedToSave(), error)) {
        Event("settings saved to %s", path.c_str());
    } else {
        host.ShowMessage(error, "错误", MessageIcon::Error);
        code = 1;
    }
    engine.Close();
    Event("closed");
    return code;
}

}  // namespace

void AddRunCommand(CLI::App& app)
{
    auto options = std::make_shared<RunOptions>();
    CLI::App* run = app.add_subcommand("run", "Run the simulator without a window: press Run, tick every 20 ms, "
                                              "close on SIGINT or SIGTERM");
    run->add_option("--config", options->ConfigPath, "Settings file (default: beside the executable)");
    run->add_option("--seconds", options->Seconds, "Close by itself after this many seconds")->check(CLI::PositiveNumber);
    run->add_flag("--stdout", options->Stdout,
                  "Also write to standard output what output 1 would send, at its interval, with CR LF");
    run->add_option("--virtual-dir", options->VirtualDir, "Folder of the virtual COM port links");
    run->add_option("--lat", options->Latitude, "Starting latitude, degrees")->check(CLI::Range(-90.0, 90.0));
    run->add_option("--lon", options->Longitude, "Starting longitude, degrees")->check(CLI::Range(-180.0, 180.0));
    run->add_option("--alt", options->Altitude, "Starting altitude, metres")->check(CLI::Range(-MaxAltitude, MaxAltitude));
    run->add_option("--speed", options->SpeedKmh, "Starting speed, km/h")->check(CLI::Range(0.0, 99999.0));
    run->add_option("--course", options->Course, "Starting course, degrees")->check(CLI::Range(0.0, 360.0));
    run->add_option("--track", options->TrackPath, "Replay this track (.plt, .gpx, .kml, .gpssim, .trk, or an NMEA log)");
    run->add_option("--mode", options->Mode, "Replay mode P, M or S (default: the mode used last)")
        ->check(CLI::IsMember({"P", "M", "S"}, CLI::ignore_case));
    CLI::Option* loop =
        run->add_option("--loop", options->Loop, "Loop: none, file or segment; alone, file (with --play: the log)")
            ->expected(0, 1)
            ->check(CLI::IsMember({"", "none", "file", "segment"}));
    run->add_flag("--reverse", options->Reverse, "Replay the track backwards");
    run->add_option("--ratio", options->Ratio, "Speed ratio of mode S")->check(CLI::NonNegativeNumber);
    CLI::Option* play = run->add_option("--play", options->PlayPath,
                                        "Send this NMEA log's own lines instead, paced by its time stamps")
                            ->excludes("--track");
    run->add_option("--rate", options->Rate, "With --play: play this many times as fast")
        ->check(CLI::PositiveNumber)
        ->needs(play);
    run->callback([options, loop] {
        if (loop->count() > 0 && options->Loop.empty()) options->Loop = "file";
        SetCommandExitCode(Run(*options));
    });
}

}  // namespace tolvex
