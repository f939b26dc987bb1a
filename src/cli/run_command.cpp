// tolvex run: the simulator without a window. Run is pressed at start; SIGINT or SIGTERM closes it
// the way the window closes (settings saved, Stopped, outputs closed). With realism on, SIGUSR1
// loses the fix and SIGUSR2 restores it.

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/console_host.h"
#include "config/settings_file.h"
#include "control/operator.h"
#include "links/ozi_api_link.h"
#include "links/port_factory.h"
#include "nmea/log_player.h"
#include "net/output_target.h"
#include "sky/almanac.h"
#include "remote/control_server.h"
#include "remote/host_relay.h"
#include "remote/remote_control.h"
#include "remote/script.h"
#include "sim/clock.h"
#include "sim/engine_simulator.h"
#include "tracks/track_loader.h"

namespace tolvex {
namespace {

std::atomic<bool> g_closeRequested{false};

extern "C" void RequestClose(int) { g_closeRequested = true; }

// Scripts lose and restore the fix with SIGUSR1 and SIGUSR2; applied between ticks.
enum FixCommand : int { FixUnchanged = 0, FixLose = 1, FixRestore = 2 };
std::atomic<int> g_fixCommand{FixUnchanged};

extern "C" void RequestFixLoss(int signal) { g_fixCommand = signal == SIGUSR1 ? FixLose : FixRestore; }

[[gnu::format(printf, 1, 2)]] void Event(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fprintf(stderr, "tolvex: ");
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

struct RunOptions {
    std::string ConfigPath;
    double Seconds = -1;  // below 0: until a signal; 0: start and close at once
    bool Stdout = false;
    bool NoSave = false;
    std::string VirtualDir;
    std::optional<double> Latitude, Longitude, Altitude, SpeedKmh, Course;
    std::string TrackPath;
    std::string Mode;   // P, M or S; empty: the mode used last
    std::string Loop;   // none, file or segment
    bool Reverse = false;
    std::optional<double> Ratio;
    std::string PlayPath;  // a recorded log sent instead of the simulated fix
    double Rate = 1;
    bool ExitAtEnd = false;
    std::vector<std::string> Outputs;  // "N=TARGET", for this run only
    // The receiver's realism; any of these turns it on.
    bool SkyGiven = false;
    std::string Sky;  // empty or "nominal": the nominal constellations; otherwise a YUMA or SEM file
    std::string Systems;
    std::optional<double> Mask, Noise;
    std::optional<std::uint32_t> Seed;
    std::optional<std::string> Control;  // given without a value: the default unix socket
    std::string ScriptPath;
};

struct RunnerFrontEnd final : RemoteFrontEnd {
    void RequestQuit() override
    {
        QuitRequested = true;
        if (Server) Server->StopServing();
    }
    bool QuitRequested = false;
    ControlServer* Server = nullptr;
};

// --output N=TARGET into the settings of this run; false after naming the fault.
bool ApplyOutputOptions(const std::vector<std::string>& targets, Settings& settings)
{
    for (const std::string& option : targets) {
        const auto equals = option.find('=');
        const std::string number = option.substr(0, equals);
        if (equals == std::string::npos || number.size() != 1 || number[0] < '1' || number[0] > '3') {
            Event("--output %s: write N=TARGET with N 1, 2 or 3", option.c_str());
            return false;
        }
        const std::string error = ApplyOutputTarget(option.substr(equals + 1), settings.Outputs[number[0] - '0']);
        if (!error.empty()) {
            Event("--output %s: %s", option.c_str(), error.c_str());
            return false;
        }
    }
    return true;
}

// The sky options over the settings; false with a message when they cannot be used.
bool ApplySkyOptions(const RunOptions& options, SkySettings& sky)
{
    const bool any = options.SkyGiven || !options.Systems.empty() || options.Mask || options.Noise || options.Seed;
    if (!any) return true;
    sky.Enabled = true;
    if (options.SkyGiven) sky.AlmanacFile = options.Sky == "nominal" ? std::string() : options.Sky;
    if (!sky.AlmanacFile.empty()) {
        const AlmanacResult almanac = ReadAlmanacFile(sky.AlmanacFile);
        if (!almanac) {
            Event("cannot use the almanac %s", almanac.Error.c_str());
            return false;
        }
        Event("almanac %s: %zu satellites", sky.AlmanacFile.c_str(), almanac.Satellites.size());
    }
    if (!options.Systems.empty()) {
        const std::optional<unsigned> systems = ParseGnssSystems(options.Systems);
        if (!systems) {
            Event("--systems: \"%s\" is not a list of gps, glonass, galileo, beidou", options.Systems.c_str());
            return false;
        }
        sky.Systems = *systems;
    }
    if (options.Mask) sky.MaskDeg = *options.Mask;
    if (options.Noise) sky.Uere = *options.Noise;
    if (options.Seed) sky.Seed = *options.Seed;
    return true;
}

constexpr const char* ModeNames[] = {"free", "P", "M", "S"};

bool StartReplay(const RunOptions& options, Simulator& sim, Host& host)
{
    const LoadOutcome outcome = LoadTrackFile(options.TrackPath, sim.Track, sim.TrackReplay, sim.Core.Options, host);
    if (!outcome.Loaded) {
        if (!outcome.MessageShown) Event("no track loaded from %s (no segment passes the filter)", options.TrackPath.c_str());
        return false;
    }
    Replay& replay = sim.TrackReplay;
    if (!options.Mode.empty()) {
        const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(options.Mode[0])));
        replay.SetTrackMode(m == 'P' ? TrackMode::P : m == 'M' ? TrackMode::M : TrackMode::S);
    }
    if (options.Loop == "file") replay.SetLoopMode(LoopMode::FileLoop);
    if (options.Loop == "segment") replay.SetLoopMode(LoopMode::SegmentLoop);
    if (options.Reverse) {
        // Reversing maps the replay onto the same place of the reversed track, its end: start
        // where the reversed track starts, as the export does.
        replay.ToggleReverse();
        replay.GoToTrackPoint(1, 1);
    }
    if (options.Ratio) {
        replay.SetSpeedRatio(*options.Ratio);
        replay.UpdateReplaySpeed();
    }
    if (options.SpeedKmh) {
        if (replay.Mode() == TrackMode::M)
            sim.Core.Fix.Speed = *options.SpeedKmh / KmhPerMps;
        else
            Event("--speed applies to mode M; mode %s takes its speed from the track", ModeNames[static_cast<int>(replay.Mode())]);
    }
    const int segments = sim.Track.SegmentCountTotal();
    const int points = sim.Track.PointCountTotal();
    Event("track %s: %d segment%s, %d point%s, mode %s%s", options.TrackPath.c_str(), segments, segments == 1 ? "" : "s",
          points, points == 1 ? "" : "s", ModeNames[static_cast<int>(replay.Mode())], replay.Reversed() ? ", reversed" : "");
    return true;
}

std::string OutputName(const Engine& engine, int k)
{
    if (k == 0) return "output 0 OziExplorer";
    const OutputSettings& s = engine.Options.Outputs[k];
    if (!s.Net.empty()) return "output " + std::to_string(k) + " " + s.Net;
    return "output " + std::to_string(k) + " " + (s.Virtual ? "virtual " : "") + "COM" + std::to_string(s.Port + 1);
}

void ReportOutputs(const Engine& engine)
{
    if (engine.Outputs[0].LinkUp) Event("output 0 OziExplorer link up");
    if (engine.Outputs[0].StartFailed) Event("output 0 failed to start");
    for (int k = 1; k < OutputCount; ++k) {
        const OutputRuntime& output = engine.Outputs[k];
        // A virtual port's line names the link other programs open and the terminal behind it; a
        // network output's its real address ("TCP 127.0.0.1:10110 listening").
        const bool bare = output.OpenPort && (output.OpenPort->IsVirtual() || !output.OpenPort->NetworkLabel().empty());
        if (bare) std::fprintf(stderr, "%s\n", output.OpenPort->Describe().c_str());
        if (output.OpenPort && !bare) Event("output %d %s", k, output.OpenPort->Describe().c_str());
        if (output.StartFailed) Event("%s failed to start", OutputName(engine, k).c_str());
    }
}

// What each output sent, so that a script sees a run that fed nothing.
void ReportGroups(const Engine& engine, bool mirrored, long long mirrorGroups)
{
    for (int k = 0; k < OutputCount; ++k) {
        const OutputRuntime& output = engine.Outputs[k];
        if (!engine.Options.Outputs[k].Active && output.GroupsSent == 0) continue;
        Event("%s: %lld group%s sent%s", OutputName(engine, k).c_str(), output.GroupsSent,
              output.GroupsSent == 1 ? "" : "s", output.StartFailed ? " (failed)" : "");
    }
    if (mirrored) Event("standard output: %lld group%s sent", mirrorGroups, mirrorGroups == 1 ? "" : "s");
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
    if (engine.Options.Sky.Enabled) {
        const SkyView& sky = engine.Sky().View();
        if (sky.FixValid)
            std::fprintf(stderr, " %2d/%-2zu sats  HDOP %.1f   ", sky.UsedCount, sky.Satellites.size(), sky.Dop.HDOP);
        else
            std::fprintf(stderr, " no fix (%zu sats)   ", sky.Satellites.size());
    }
    std::fflush(stderr);
}

// The tick schedule on the system clock's grid: tick n is due at Base + n × 20 ms, and Base is a
// whole second, so that the groups of a 1 s or 200 ms interval leave just after the whole and
// fifth seconds they carry. The sleeps run on the steady clock, re-measured at every tick, so
// the schedule follows the system clock as NTP slews it.
class TickSchedule {
public:
    using SystemTime = std::chrono::system_clock::time_point;
    static constexpr std::chrono::milliseconds Period{20};

    TickSchedule() : m_base(std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now())) {}

    SystemTime Base() const { return m_base; }
    SystemTime Due(long long n) const { return m_base + n * Period; }

    // When tick n is due, on the steady clock. A system clock set more than a second away (a
    // suspend, a manual change) moves the base by whole seconds instead of running or skipping a
    // burst of ticks.
    std::chrono::steady_clock::time_point Deadline(long long n)
    {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const auto lag = now - Due(n);
        if (lag > seconds(1)) m_base += floor<seconds>(lag);
        if (lag < -seconds(1)) m_base -= ceil<seconds>(-lag) - seconds(1);
        return steady_clock::now() + duration_cast<steady_clock::duration>(Due(n) - system_clock::now());
    }

    static std::int64_t Milliseconds(SystemTime t)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    }

private:
    SystemTime m_base;
};

// A logged burst whose time falls between two ticks leaves at that time, not on the next tick; a
// burst takes microseconds, so the tick is not delayed.
void PlayUntil(Engine& engine, std::chrono::steady_clock::time_point lastTick,
               std::chrono::steady_clock::time_point nextTick,
               const std::function<void(std::chrono::steady_clock::time_point)>& waitUntil)
{
    using Clock = std::chrono::steady_clock;
    using Ms = std::chrono::duration<double, std::milli>;
    while (!g_closeRequested) {
        const std::optional<double> ms = engine.MsToNextPlayedBurst();
        if (!ms) return;
        const Clock::time_point due = lastTick + std::chrono::duration_cast<Clock::duration>(Ms(*ms));
        if (due >= nextTick) return;
        waitUntil(due);
        // The wait ended early (the channel closed, a quit): the tick decides what happens next.
        const Clock::time_point now = Clock::now();
        if (now < due) return;
        engine.PlayBetweenTicks(std::max(*ms, Ms(now - lastTick).count()));
    }
}

int Run(const RunOptions& options)
{
    // The script and the channel are checked before anything starts, so a typo costs no run.
    std::optional<Script> script;
    if (!options.ScriptPath.empty()) {
        ScriptParse parsed = ReadScript(options.ScriptPath);
        if (auto* error = std::get_if<std::string>(&parsed)) {
            Event("%s", error->c_str());
            return 1;
        }
        script = std::move(std::get<Script>(parsed));
    }
    std::optional<ControlSpec> controlSpec;
    if (options.Control) {
        auto parsed = ParseControlSpec(*options.Control);
        if (auto* error = std::get_if<std::string>(&parsed)) {
            Event("%s", error->c_str());
            return 1;
        }
        controlSpec = std::get<ControlSpec>(parsed);
        if (controlSpec->Type == ControlSpec::Kind::Stdin && options.Stdout) {
            Event("--control stdin answers on standard output, which --stdout fills with sentences: choose one");
            return 1;
        }
    }

    ConsoleHost console;
    HostRelay host(console);
    const std::string path = options.ConfigPath.empty() ? DefaultSettingsPath() : options.ConfigPath;
    if (!options.NoSave) {
        // Found now, not after the whole run when the settings cannot be written back.
        if (const std::string problem = SettingsFolderProblem(path); !problem.empty()) {
            Event("cannot keep settings in %s (%s); use another --config or --no-save", path.c_str(), problem.c_str());
            return 1;
        }
    }
    Settings settings;
    SimFix fix;
    if (std::string error; !LoadSettings(path, settings, fix, error)) {
        std::fprintf(stderr, "tolvex: %s\n", error.c_str());
        return 1;
    }
    // The settings file keeps its own outputs: what --output changed is put back before saving.
    const std::array<OutputSettings, OutputCount> fileOutputs = settings.Outputs;
    if (!ApplyOutputOptions(options.Outputs, settings)) return 2;
    if (!ApplySkyOptions(options, settings.Sky)) return 1;
    const std::string virtualDir = options.VirtualDir.empty() ? settings.VirtualPortDir : options.VirtualDir;

    ScheduledClock calendar;
    calendar.Set(SystemMilliseconds());
    SystemPortFactory ports(virtualDir, settings.VirtualPortGroup);
    std::unique_ptr<OziLink> ozi = MakeOziApiLink(settings);
    Simulator sim(host, calendar, ports, ozi.get());
    Operator panel(sim.Core, &sim.TrackReplay);
    RunnerFrontEnd frontEnd;
    RemoteControl control(sim, panel, host, frontEnd);
    std::unique_ptr<ControlServer> server;
    if (controlSpec) {
        server = std::make_unique<ControlServer>(control);
        std::string error;
        if (!server->Listen(*controlSpec, error)) {
            Event("%s", error.c_str());
            return 1;
        }
        frontEnd.Server = server.get();
    }
    std::optional<ScriptRunner> scriptRunner;
    if (script) {
        scriptRunner.emplace(std::move(*script), control);
        scriptRunner->Report = [](const std::string& where, const std::string& reply) {
            Event("%s: %s", where.c_str(), reply.c_str());
        };
    }
    Engine& engine = sim.Core;
    engine.Options = settings;
    engine.Fix = fix;
    if (options.Latitude) engine.Fix.Latitude = std::clamp(*options.Latitude, -90.0, 90.0);
    if (options.Longitude) engine.Fix.Longitude = std::clamp(*options.Longitude, -180.0, 180.0);
    if (options.Altitude) engine.Fix.Altitude = std::clamp(*options.Altitude, -MaxAltitude, MaxAltitude);
    if (options.SpeedKmh) engine.Fix.Speed = std::clamp(*options.SpeedKmh / KmhPerMps, 0.0, MaxSpeedMps);
    if (options.Course) engine.Fix.Course = std::clamp(*options.Course, 0.0, 360.0);
    long long tick = 0;
    long long mirrorGroups = 0;
    long long lastMirrorTick = -1;
    if (options.Stdout) {
        engine.MirrorOutput1 = [&](const char* text, int length) {
            if (tick != lastMirrorTick) ++mirrorGroups;
            lastMirrorTick = tick;
            std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
            std::fflush(stdout);
        };
    }

    std::signal(SIGINT, RequestClose);
    std::signal(SIGTERM, RequestClose);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGUSR1, RequestFixLoss);
    std::signal(SIGUSR2, RequestFixLoss);

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

    Event("started with settings %s%s", path.c_str(), options.NoSave ? " (not saved at the end)" : "");
    if (!options.TrackPath.empty() && !StartReplay(options, sim, host)) return 1;

    // Run is pressed on a whole second of the system clock; tick n follows n × 20 ms later.
    TickSchedule schedule;
    // A run of no tick has no grid to wait for.
    if (options.Seconds != 0) std::this_thread::sleep_until(schedule.Deadline(0));
    calendar.Set(TickSchedule::Milliseconds(schedule.Due(0)));
    engine.RunCommand();
    ReportOutputs(engine);
    if (player)
        Event("playing %s at rate %g: on virtual ports once a program opens one", options.PlayPath.c_str(), options.Rate);
    if (server) Event("control channel on %s", server->Where().c_str());

    int code = 0;
    const auto nothingFed = [&] { return !engine.Outputs.AnyOpen() && !options.Stdout; };
    bool anyActive = false;
    for (const OutputSettings& output : engine.Options.Outputs) anyActive = anyActive || output.Active;
    if (nothingFed()) {
        if (anyActive)
            Event("no output could start: nothing is fed");
        else
            Event("no output is active in %s: nothing is fed", path.c_str());
        code = 1;
    }

    const long long totalTicks = options.Seconds >= 0 ? static_cast<long long>(options.Seconds * 50 + 0.5) : -1;
    const bool showStatus = isatty(STDERR_FILENO) && !options.Stdout && !(server && controlSpec->Type == ControlSpec::Kind::Stdin);
    const bool replaying = engine.Mode() != TrackMode::Free;
    // Commands are taken while the tick waits, and never while it runs.
    const auto waitUntil = [&server](std::chrono::steady_clock::time_point until) {
        if (server)
            server->ServeUntil(until);
        else
            std::this_thread::sleep_until(until);
    };
    auto lastDue = std::chrono::steady_clock::now();
    for (tick = 1; code == 0 && (totalTicks < 0 || tick <= totalTicks); ++tick) {
        const auto due = schedule.Deadline(tick);
        if (player) PlayUntil(engine, lastDue, due, waitUntil);
        waitUntil(due);
        lastDue = due;
        if (g_closeRequested || frontEnd.QuitRequested || (server && server->InputEnded())) break;
        if (scriptRunner) {
            // The script's clock is the simulation's: the ticks done so far.
            const ScriptRunner::Progress progress = scriptRunner->Advance(static_cast<double>(tick - 1) * 0.02);
            if (progress == ScriptRunner::Progress::Failed) {
                Event("%s", scriptRunner->Message().c_str());
                code = 1;
                break;
            }
            if (frontEnd.QuitRequested) break;
            if (progress == ScriptRunner::Progress::Finished) {
                if (totalTicks < 0) break;
                scriptRunner.reset();
            }
        }
        if (const int command = g_fixCommand.exchange(FixUnchanged); command != FixUnchanged) {
            engine.SetFixLost(command == FixLose);
            if (!engine.Options.Sky.Enabled)
                Event("fix loss on request needs --sky: the receiver without realism always has its fix");
            else
                Event(command == FixLose ? "fix lost on request" : "fix restored on request");
        }
        const RunState before = engine.State;
        calendar.Set(TickSchedule::Milliseconds(schedule.Due(tick)));
        engine.TimerTick();
        if (server) server->AfterTick();
        if (showStatus && tick % 25 == 0) PrintStatus(engine);
        if (player && player->Finished()) break;
        if (replaying && before == RunState::Running && engine.State == RunState::Paused) {
            if (showStatus) std::fputc('\n', stderr);
            Event("track ended at point %d of segment %d, paused", sim.TrackReplay.PointInTrack(), sim.TrackReplay.Track());
            if (options.ExitAtEnd) break;
        }
        if (nothingFed()) {
            if (showStatus) std::fputc('\n', stderr);
            Event("every output has failed: nothing is fed");
            code = 1;
        }
    }
    if (player) Event("played %s to line %d", options.PlayPath.c_str(), player->LineNumber());
    if (showStatus) std::fputc('\n', stderr);
    if (scriptRunner && totalTicks > 0 && !frontEnd.QuitRequested && code == 0)
        Event("the run ended after %g s with the script at %s", options.Seconds, scriptRunner->Where().c_str());
    if (server) server->Flush(std::chrono::milliseconds(500));
    ReportGroups(engine, options.Stdout, mirrorGroups);

    if (!options.NoSave) {
        std::string error;
        Settings toSave = engine.Options;
        for (const std::string& option : options.Outputs) {
            const int n = option[0] - '0';
            toSave.Outputs[n] = fileOutputs[n];
        }
        if (SaveSettings(path, toSave, engine.Fix, engine.SpeedToSave(), error)) {
            Event("settings saved to %s", path.c_str());
        } else {
            host.ShowMessage(error, "错误", MessageIcon::Error);
            code = 1;
        }
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
    run->add_option("--config", options->ConfigPath,
                    "Settings file (default: $XDG_CONFIG_HOME/tolvex/Tolvex.ini, or tolvex.ini beside the "
                    "executable when that file exists)");
    run->add_flag("--no-save", options->NoSave, "Leave the settings file untouched at the end");
    run->add_option("--seconds", options->Seconds, "Close by itself after this many seconds (0: as soon as started)")
        ->check(CLI::NonNegativeNumber);
    run->add_flag("--stdout", options->Stdout,
                  "Also write to standard output what output 1 would send, at its interval, with CR LF");
    run->add_option("--virtual-dir", options->VirtualDir, "Folder of the virtual COM port links");
    run->add_option("--lat", options->Latitude, "Starting latitude, degrees")->check(CLI::Range(-90.0, 90.0));
    run->add_option("--lon", options->Longitude, "Starting longitude, degrees")->check(CLI::Range(-180.0, 180.0));
    run->add_option("--alt", options->Altitude, "Starting altitude, metres")->check(CLI::Range(-MaxAltitude, MaxAltitude));
    run->add_option("--speed", options->SpeedKmh, "Starting speed, km/h; with --track, the speed of mode M")
        ->check(CLI::Range(0.0, 99999.0));
    run->add_option("--course", options->Course, "Starting course, degrees")->check(CLI::Range(0.0, 360.0));
    CLI::Option* track = run->add_option("--track", options->TrackPath,
                                         "Replay this track (.plt, .gpx, .kml, .gpssim, .trk, or an NMEA log)");
    run->add_option("--mode", options->Mode, "Replay mode P, M or S (default: the mode used last)")
        ->check(CLI::IsMember({"P", "M", "S"}, CLI::ignore_case))
        ->needs(track);
    CLI::Option* loop =
        run->add_option("--loop", options->Loop, "Loop: none, file or segment; alone, file (with --play: the log)")
            ->expected(0, 1)
            ->check(CLI::IsMember({"", "none", "file", "segment"}));
    run->add_flag("--reverse", options->Reverse, "Replay the track backwards, from its last point")->needs(track);
    run->add_option("--output", options->Outputs,
                    "Set output N (1..3) for this run only: N=off, N=virtual:COMn, N=serial:COMn, "
                    "N=serial:/dev/PATH[@BAUD], N=tcp-listen:[ADDR:]PORT[?clients=N], N=tcp:HOST:PORT or N=udp:HOST:PORT[?ttl=N]; "
                    "repeatable")
        ->take_all();
    run->add_option("--ratio", options->Ratio, "Speed ratio of mode S")->check(CLI::NonNegativeNumber)->needs(track);
    run->add_flag("--exit-at-end", options->ExitAtEnd, "Close when a replay without a loop reaches the end of the track")
        ->needs(track);
    CLI::Option* play = run->add_option("--play", options->PlayPath,
                                        "Send this NMEA log's own lines instead, paced by its time stamps")
                            ->excludes("--track");
    run->add_option("--rate", options->Rate, "With --play: play this many times as fast")
        ->check(CLI::PositiveNumber)
        ->needs(play);
    CLI::Option* sky = run->add_option("--sky", options->Sky,
                    "Realistic receiver: moving satellites, DOP from geometry, fix loss; nominal constellations, "
                    "or a YUMA or SEM almanac file for GPS")
        ->expected(0, 1);
    run->add_option("--systems", options->Systems, "Satellite systems for --sky: gps,glonass,galileo,beidou");
    run->add_option("--mask", options->Mask, "Elevation mask for --sky, degrees (default 5)")->check(CLI::Range(0.0, 90.0));
    run->add_option("--noise", options->Noise, "Position noise for --sky: UERE in metres (0: none)")
        ->check(CLI::Range(0.0, MaxUere));
    run->add_option("--seed", options->Seed, "Seed of the noise for --sky: the same seed gives the same sentences");
    run->add_option("--control", options->Control,
                    "Take commands on unix:PATH, tcp:[ADDR:]PORT or stdin (alone: unix:" + DefaultControlPath() + ")")
        ->expected(0, 1);
    run->add_option("--script", options->ScriptPath,
                    "Run the control commands of this scenario file on the simulator's clock; the run ends with it "
                    "unless --seconds is given");
    // One callback: a second would replace the first.
    run->callback([options, loop, sky] {
        if (loop->count() > 0 && options->Loop.empty()) options->Loop = "file";
        options->SkyGiven = sky->count() > 0;
        SetCommandExitCode(Run(*options));
    });
}

}  // namespace tolvex
