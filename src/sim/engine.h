#pragma once
// The simulator the main window owns: the fix, the run state, the outputs and the 20 ms tick.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "nmea/nmea_builder.h"
#include "nmea/output_channels.h"
#include "sim/sim_fix.h"
#include "sky/sky_model.h"

namespace tolvex {

class CalendarClock;
class Host;
class LogPlayer;
class OziLink;
struct OziClick;
class PortFactory;
class ReplayDriver;

// Bits of HeldKeys the tick reads.
inline constexpr int HeldTurnLeft = 0x10;
inline constexpr int HeldTurnRight = 0x20;

class Engine {
public:
    Engine(Host& host, const CalendarClock& calendar, PortFactory& ports, OziLink* ozi = nullptr);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The replay engine the tick steps in modes P, M and S; none means free driving only.
    void SetReplay(ReplayDriver* replay) { m_replay = replay; }
    ReplayDriver* Replay() const { return m_replay; }
    TrackMode Mode() const;
    bool TrackBusy() const;

    // A recorded log played to the outputs instead of the built sentences; none by default.
    void SetPlayer(LogPlayer* player) { m_player = player; }
    const LogPlayer* Player() const { return m_player; }
    // Real ms from the last tick to the next burst of the log while it plays; nothing otherwise.
    std::optional<double> MsToNextPlayedBurst() const;
    // Between two ticks: sends the log's bursts due msSinceTick after the last tick, so each leaves
    // at its recorded time instead of waiting for the next tick.
    void PlayBetweenTicks(double msSinceTick);

    // Once per 20 ms: map clicks, turning, driving or replay, the due outputs, the panel.
    void TimerTick();
    // OnOziMapClick and OnOziMapDblClick for every click the link has queued since the last tick.
    void ApplyPendingOziClicks();
    // One map click, from OziExplorer or from our own map: a single click turns towards the place
    // in free driving, a double click jumps there (in replay, to the nearest place on the track).
    void ApplyMapClick(const OziClick& click);
    void RunCommand();
    void PauseCommand();
    void StopCommand();

    // The engine's part of the window close: RunState Stopped, every output closed without asking,
    // leftover virtual ports removed. Saving the settings comes first and is the caller's.
    void Close();
    // The speed the settings file keeps: SavedSpeed while paused, the fix's speed otherwise.
    double SpeedToSave() const { return State == RunState::Paused ? SavedSpeed : Fix.Speed; }

    Host& GetHost() const { return m_host; }
    const CalendarClock& Calendar() const { return m_calendar; }
    const NmeaBuilder& Builder() const { return m_builder; }
    // The satellites and the fix state of the last build (when realism is on).
    const SkyModel& Sky() const { return m_sky; }
    // The fix lost on command (a script, the user) until told otherwise; with realism only.
    void SetFixLost(bool lost) { m_sky.SetFixLost(lost); }

    SimFix Fix;
    Settings Options;
    RunState State = RunState::Stopped;
    double SavedSpeed = 0;  // m/s, the speed put aside while paused
    OutputChannels Outputs;
    FixClock Clock;

    // Receives what output 1 sends, at its interval, whether or not output 1 runs (the runner's --stdout).
    std::function<void(const char* text, int length)> MirrorOutput1;

    int HeldKeys = 0;
    int LeftTurnTicks = 0;
    int RightTurnTicks = 0;
    int ReplayTickCounter = 0;
    bool TickInProgress = false;
    bool ChangeInProgress = false;
    bool ExportRunning = false;

private:
    void Tick();
    void TurnForHeldKeys();
    void PlayTick();
    bool SomeoneListens() const;
    void SendPlayedLine(std::string_view line);
    void StartOutputs(bool open);
    // The sky for this build: none with realism off; otherwise configured from the options.
    SkyModel* PrepareSky();

    Host& m_host;
    const CalendarClock& m_calendar;
    ReplayDriver* m_replay = nullptr;
    NmeaBuilder m_builder;
    LogPlayer* m_player = nullptr;
    bool m_playStarted = false;
    SkyModel m_sky;
    bool m_skyReady = false;
};

// One free-driving step of 0.02 s: the pole rule, the advance and the wraps.
void DriveStep(SimFix& fix);

}  // namespace tolvex
