#include "sim/engine.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "links/ozi_link.h"
#include "sim/geodesy.h"
#include "sim/host.h"
#include "sim/replay_driver.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

constexpr double LatitudePerMpsTick = 1.802674594858523e-7;  // 0.02 s × 180/π / PolarRadius
constexpr double LongitudeTickFactor = 1.1459155902616465;   // 0.02 s × 180/π
constexpr double PoleLimit = 89.999;

}  // namespace

void DriveStep(SimFix& fix)
{
    const bool overNorth = fix.Latitude > PoleLimit && (fix.Course < 90 || fix.Course > 270);
    const bool overSouth = fix.Latitude < -PoleLimit && fix.Course > 90 && fix.Course < 270;
    if (overNorth || overSouth) {
        // Over the pole: come down the meridian on the other side instead of advancing.
        fix.Longitude = fix.Longitude + 180 - 2 * fix.Course;
        fix.Course = 180 - fix.Course;
    } else {
        const double a = fix.Course * DegToRad;
        fix.Latitude += std::cos(a) * fix.Speed * LatitudePerMpsTick;
        fix.Longitude +=
            std::sin(a) * (LongitudeTickFactor / (std::cos(fix.Latitude * DegToRad) * EquatorialRadius)) * fix.Speed;
    }
    if (fix.Course < 0)
        fix.Course += 360;
    else if (fix.Course > 360)
        fix.Course -= 360;
    if (fix.Latitude > 90)
        fix.Latitude = 90;
    else if (fix.Latitude < -90)
        fix.Latitude = -90;
    fix.Longitude = std::fmod(fix.Longitude, 360);
    if (fix.Longitude > 180)
        fix.Longitude -= 360;
    else if (fix.Longitude < -180)
        fix.Longitude += 360;
}

Engine::Engine(Host& host, const CalendarClock& calendar, PortFactory& ports, OziLink* ozi)
    : Outputs(Options, host, ports, ozi), m_host(host), m_calendar(calendar)
{
}

TrackMode Engine::Mode() const { return m_replay ? m_replay->Mode() : TrackMode::Free; }

bool Engine::TrackBusy() const { return m_replay && m_replay->TrackBusy(); }

void Engine::TurnForHeldKeys()
{
    if (HeldKeys & HeldTurnLeft) {
        ++LeftTurnTicks;
        if (LeftTurnTicks > 50)
            Fix.Course -= Options.KeySensitivity3;
        else if (LeftTurnTicks > 10)
            Fix.Course -= Options.KeySensitivity2;
        if (Fix.Course < 0) Fix.Course += 360;
    }
    if (HeldKeys & HeldTurnRight) {
        ++RightTurnTicks;
        if (RightTurnTicks > 50)
            Fix.Course += Options.KeySensitivity3;
        else if (RightTurnTicks > 10)
            Fix.Course += Options.KeySensitivity2;
        if (Fix.Course >= 360) Fix.Course -= 360;
    }
    m_host.RefreshPanel(1);
}

void Engine::TimerTick()
{
    if (TickInProgress) return;
    if (!ExportRunning) Tick();
    // After the group was queued, so that network peers get it within this tick.
    Outputs.Service();
}

void Engine::Tick()
{
    ApplyPendingOziClicks();
    TickInProgress = true;
    if (ChangeInProgress) {
        ++Options.TimerWaits;
        while (ChangeInProgress) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const TrackMode mode = Mode();
    if (HeldKeys != 0 && mode == TrackMode::Free) TurnForHeldKeys();

    if (State == RunState::Stopped) {
        TickInProgress = false;
        return;
    }
    if (m_player) {
        PlayTick();
        TickInProgress = false;
        return;
    }
    if (State == RunState::Running && !TrackBusy() && mode == TrackMode::Free) DriveStep(Fix);

    if (mode == TrackMode::Free) {
        bool due = false;
        for (int k = 0; k < OutputCount; ++k) {
            auto& counter = Outputs[k].TickCounter;
            counter = (counter + 1) % (Options.Outputs[k].Interval / 20);
            due = due || counter == 0;
        }
        if (!due) {
            TickInProgress = false;
            return;
        }
    } else {
        ReplayTickCounter = (ReplayTickCounter + 1) % (m_replay->StepInterval() / 20);
        if (ReplayTickCounter != 0) {
            TickInProgress = false;
            return;
        }
        for (auto& output : Outputs.Table()) output.TickCounter = 0;
    }

    bool finished = false;
    if (mode != TrackMode::Free && State == RunState::Running && !TrackBusy()) m_replay->ReplayStep(finished, false);

    // Only what some output takes is formatted; RMC always, for the time `status` reports.
    std::array<bool, SentenceCount> wanted{};
    wanted[static_cast<std::size_t>(Sentence::RMC)] = true;
    for (int k = 0; k < OutputCount; ++k) {
        const bool takes = k == 0 ? Outputs[0].LinkUp && !Options.Outputs[0].NoNMEA && Outputs.Ozi() != nullptr
                                  : Outputs[k].OpenPort || (k == 1 && MirrorOutput1);
        for (int s = 0; takes && s < SentenceCount; ++s) wanted[static_cast<std::size_t>(s)] |= Options.Outputs[k].Send[s];
    }
    m_builder.SetWanted(wanted);
    m_builder.BuildSentences(Fix, State, Options, Clock, m_calendar, ExportRunning, PrepareSky());

    const OutputSettings& ozi = Options.Outputs[0];
    if (Outputs[0].TickCounter == 0 && Outputs[0].LinkUp && !ozi.NoNMEA && Outputs.Ozi() != nullptr) {
        for (int s = 0; s < SentenceCount; ++s)
            if (ozi.Send[s])
                for (int line = 0; line < m_builder.LineCount(s); ++line) Outputs.Ozi()->Send(m_builder.Text(s, line));
        ++Outputs[0].GroupsSent;
    }
    for (int k = 1; k < OutputCount; ++k)
        if (Outputs[k].OpenPort && Outputs[k].TickCounter == 0) ++Outputs[k].GroupsSent;

    m_builder.AppendLineEnds();

    for (int s = 0; s < SentenceCount; ++s) {
        for (int line = 0; line < m_builder.LineCount(s); ++line) {
            const char* text = m_builder.Text(s, line);
            const int length = m_builder.Length(s, line);
            if (MirrorOutput1 && Outputs[1].TickCounter == 0 && Options.Outputs[1].Send[s]) MirrorOutput1(text, length);
            for (int k = 1; k < OutputCount; ++k) {
                if (Outputs[k].OpenPort && Outputs[k].TickCounter == 0 && Options.Outputs[k].Send[s]) {
                    Outputs.Write(k, text, length);
                    if (!Outputs[k].OpenPort) m_host.RefreshPanel(2);  // the device went away
                }
            }
        }
    }

    m_host.RefreshPanel(1);
    if (finished) PauseCommand();
    TickInProgress = false;
}

SkyModel* Engine::PrepareSky()
{
    if (!Options.Sky.Enabled) return nullptr;
    if (Options.Sky != m_sky.Applied() || !m_skyReady) {
        const bool almanacChanged = !m_skyReady || Options.Sky.AlmanacFile != m_sky.Applied().AlmanacFile;
        const std::string error = m_sky.Configure(Options.Sky);
        m_skyReady = true;
        // Told once per file, not on every tick while the setting stands.
        if (!error.empty() && almanacChanged)
            m_host.ShowMessage(Texts::tr("无法读取历书文件，改用标准星座：") + error, Texts::tr("警告"), MessageIcon::Warning);
    }
    return &m_sky;
}

void Engine::StartOutputs(bool open)
{
    Outputs.Start(open);
    if (State == RunState::Paused) Fix.Speed = SavedSpeed;
    State = RunState::Running;
    m_host.RefreshPanel(2);
}

void Engine::RunCommand() { StartOutputs(true); }

void Engine::PauseCommand()
{
    switch (State) {
    case RunState::Running:
        SavedSpeed = Fix.Speed;
        State = RunState::Paused;
        Fix.Speed = 0;
        m_host.RefreshPanel(2);
        break;
    case RunState::Paused:
        StartOutputs(false);
        break;
    default:
        break;
    }
}

void Engine::StopCommand()
{
    if (State == RunState::Stopped || State == RunState::None) return;
    if (State == RunState::Paused) Fix.Speed = SavedSpeed;
    Outputs.Stop(true);
    if (!Outputs.AnyOpen()) State = RunState::Stopped;
    m_host.RefreshPanel(2);
}

void Engine::Close()
{
    State = RunState::Stopped;
    Outputs.Stop(false);
    Outputs.RemoveLeftoverPorts();
}

}  // namespace tolvex
