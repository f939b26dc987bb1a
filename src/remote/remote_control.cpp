#include "remote/remote_control.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "control/context_menu.h"
#include "control/drive_rules.h"
#include "control/keyboard.h"
#include "control/operator.h"
#include "nmea/log_player.h"
#include "remote/host_relay.h"
#include "sim/engine_simulator.h"

namespace tolvex {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* StateNames[] = {"none", "stopped", "running", "paused"};
constexpr const char* ModeNames[] = {"F", "P", "M", "S"};
constexpr const char* LoopNames[] = {"none", "file", "segment"};

// The ranges the position dialog checks on "确定".
constexpr double MaxSpeedKmh = 99999;

std::string Describe(const char* format, auto... args)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// "2026-12-09T01:35:07Z" from the time and date fields of the RMC last built; null before the first.
Json SentenceTime(const char* rmc)
{
    std::string_view text(rmc);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 10 || fields[1].size() < 6 || fields[9].size() != 6) return nullptr;
    const std::string_view t = fields[1], d = fields[9];
    return "20" + std::string(d.substr(4, 2)) + "-" + std::string(d.substr(2, 2)) + "-" + std::string(d.substr(0, 2)) +
           "T" + std::string(t.substr(0, 2)) + ":" + std::string(t.substr(2, 2)) + ":" + std::string(t.substr(4, 2)) +
           "Z";
}

// Commands that move the replay's indices, which an open dialog of the window holds still.
bool MovesReplay(const Command& c)
{
    switch (c.Name) {
    case Verb::Goto:
    case Verb::Load:
    case Verb::Mode:
    case Verb::Reverse:
    case Verb::Loop:
    case Verb::Segment:
    case Verb::Point:
    case Verb::Favourite: return true;
    default: return false;
    }
}

}  // namespace

std::string Reply::Line() const
{
    if (!Ok) return "error " + Body;
    return Body.empty() ? "ok" : "ok " + Body;
}

Reply Ok(std::string json) { return Reply{true, std::move(json)}; }
Reply Error(std::string message) { return Reply{false, std::move(message)}; }

RemoteControl::RemoteControl(Simulator& sim, Operator& op, HostRelay& relay, RemoteFrontEnd& frontEnd)
    : m_sim(sim), m_operator(op), m_relay(relay), m_frontEnd(frontEnd)
{
}

Reply RemoteControl::Execute(std::string_view line)
{
    ParseResult parsed = ParseCommand(line);
    if (auto* message = std::get_if<std::string>(&parsed)) return Error(*message);
    return Execute(std::get<Command>(parsed));
}

Reply RemoteControl::Execute(const Command& command)
{
    // Nested use (a command arriving while a dialog of another command waits) keeps the outer capture.
    const bool outer = m_relay.Capturing();
    if (!outer) m_relay.BeginCapture(command.Gpx);
    Reply reply = Dispatch(command);
    if (outer) return reply;
    const std::vector<std::string> messages = m_relay.EndCapture();
    if (messages.empty()) return reply;
    if (!reply.Ok) {
        for (const std::string& message : messages) reply.Body += "; " + message;
        return reply;
    }
    Json body = reply.Body.empty() ? Json::object() : Json::parse(reply.Body);
    body["messages"] = messages;
    reply.Body = body.dump();
    return reply;
}

Reply RemoteControl::RequireFree(const Command& command) const
{
    const TrackMode mode = m_sim.TrackReplay.Mode();
    if (mode == TrackMode::Free) return Ok();
    return Error(Describe("%s works in free driving only (mode %s now; `mode F` first)", VerbName(command.Name),
                          ModeNames[static_cast<int>(mode)]));
}

Reply RemoteControl::RequireTrack(const Command& command) const
{
    if (m_sim.Track.Loaded()) return Ok();
    return Error(Describe("%s needs a track (`load FILE` first)", VerbName(command.Name)));
}

Reply RemoteControl::RequireReplay(const Command& command) const
{
    if (Reply r = RequireTrack(command); !r.Ok) return r;
    if (m_sim.TrackReplay.Mode() != TrackMode::Free) return Ok();
    return Error(Describe("%s works in modes P, M and S only (mode F now)", VerbName(command.Name)));
}

std::string RemoteControl::StateJson() const
{
    return Json{{"state", StateNames[static_cast<int>(m_sim.Core.State) & 3]},
                {"mode", ModeNames[static_cast<int>(m_sim.TrackReplay.Mode())]}}
        .dump();
}

Reply RemoteControl::Dispatch(const Command& c)
{
    Engine& engine = m_sim.Core;
    Replay& replay = m_sim.TrackReplay;
    SimFix& fix = engine.Fix;
    if (c.Name != Verb::Status) {
        // The export drives the replay itself and puts it back afterwards; a change now would be lost.
        if (engine.ExportRunning) return Error(Describe("%s: an NMEA export is running; try again after it", VerbName(c.Name)));
        if (engine.TickInProgress || engine.ChangeInProgress)
            return Error(Describe("%s: the simulator is busy with a tick or a wheel change; try again", VerbName(c.Name)));
        if (replay.TrackBusy() && MovesReplay(c))
            return Error(Describe("%s: the track is held by an open dialog in the window; try again after it", VerbName(c.Name)));
    }
    switch (c.Name) {
    case Verb::Run:
        engine.RunCommand();
        return Ok(StateJson());
    case Verb::Pause:
        engine.PauseCommand();
        return Ok(StateJson());
    case Verb::Stop:
        engine.StopCommand();
        return Ok(StateJson());
    case Verb::Speed: return SetSpeed(c.Value);
    case Verb::Course:
        if (Reply r = RequireFree(c); !r.Ok) return r;
        if (c.Value < 0 || c.Value > 360) return Error("course: DEG must be 0 to 360");
        fix.Course = c.Value;
        break;
    case Verb::Turn:
        if (Reply r = RequireFree(c); !r.Ok) return r;
        fix.Course = WrapCourseKey(fix.Course + c.Value);
        break;
    case Verb::Alt:
        if (Reply r = RequireFree(c); !r.Ok) return r;
        if (c.Value < -MaxAltitude || c.Value > MaxAltitude) return Error("alt: M must be -277777.5 to 277777.5");
        fix.Altitude = c.Value;
        break;
    case Verb::Goto:
        if (c.Value < -90 || c.Value > 90) return Error("goto: LAT must be -90 to 90");
        if (c.Longitude < -180 || c.Longitude > 180) return Error("goto: LON must be -180 to 180");
        if (c.Altitude && (*c.Altitude < -MaxAltitude || *c.Altitude > MaxAltitude))
            return Error("goto: ALT must be -277777.5 to 277777.5");
        if (replay.Mode() == TrackMode::Free) {
            fix.Latitude = c.Value;
            fix.Longitude = c.Longitude;
            if (c.Altitude) fix.Altitude = *c.Altitude;
        } else {
            // As the position dialog in a replay mode: the track's place nearest to the point, its altitude.
            if (c.Altitude) return Error("goto: ALT comes from the track in a replay mode; leave it out");
            replay.SnapToTrack(c.Value, c.Longitude);
        }
        break;
    case Verb::Step: return Step(c);
    case Verb::Load: return Load(c);
    case Verb::Mode: {
        static constexpr int Ids[] = {MenuId::ModeFree, MenuId::ModeP, MenuId::ModeM, MenuId::ModeS};
        const int index = static_cast<int>(std::string_view("FPMS").find(c.Letter));
        if (index > 0)
            if (Reply r = RequireTrack(c); !r.Ok) return r;
        m_operator.RunMenuCommand(Ids[index]);
        return Ok(StateJson());
    }
    case Verb::Ratio: return SetRatio(c.Value);
    case Verb::Reverse:
        if (Reply r = RequireReplay(c); !r.Ok) return r;
        if (replay.Reversed() != c.On) m_operator.RunMenuCommand(MenuId::Reverse);
        break;
    case Verb::Offset:
        if (Reply r = RequireReplay(c); !r.Ok) return r;
        // Held within the reach of the keys and the wheel.
        replay.SetLateralOffset(std::clamp(c.Value, -MaxLateralOffset, MaxLateralOffset));
        m_operator.RefreshPanel(1);
        return Ok(Json{{"offset", replay.LateralOffset()}}.dump());
    case Verb::Loop: {
        if (Reply r = RequireReplay(c); !r.Ok) return r;
        static constexpr int Ids[] = {MenuId::NoLoop, MenuId::FileLoop, MenuId::SegmentLoop};
        m_operator.RunMenuCommand(Ids[static_cast<int>(c.Loop)]);
        break;
    }
    case Verb::Segment:
        if (Reply r = RequireTrack(c); !r.Ok) return r;
        if (c.Number < 1 || c.Number > m_sim.Track.SegmentCountTotal())
            return Error(Describe("segment: N must be 1 to %d", m_sim.Track.SegmentCountTotal()));
        // What "选择段" does with the chosen row.
        replay.GoToTrackPoint(c.Number, 1);
        engine.GetHost().RefreshPanel(1);
        break;
    case Verb::Point:
        if (Reply r = RequireTrack(c); !r.Ok) return r;
        if (c.Number < 1 || c.Number > m_sim.Track.PointCountTotal())
            return Error(Describe("point: N must be 1 to %d", m_sim.Track.PointCountTotal()));
        replay.GoToPointNumber(c.Number);
        engine.GetHost().RefreshPanel(1);
        break;
    case Verb::Favourite:
        if (c.Number < 1 || c.Number > FavoriteCount) return Error("favourite: N must be 1 to 20");
        m_operator.JumpToFavorite(c.Number);
        break;
    case Verb::SaveFavourite: {
        if (c.Number < 1 || c.Number > FavoriteCount) return Error("save-favourite: N must be 1 to 20");
        const FavoriteDraft draft = m_operator.BeginSaveFavorite();
        // Without a name the slot keeps its own, as the dialog presets it.
        m_operator.SaveFavorite(draft, c.Number - 1, c.HasText ? c.Text : m_operator.FavoriteName(c.Number - 1));
        return Ok(Json{{"favourite", c.Number}, {"name", m_operator.FavoriteName(c.Number - 1)}}.dump());
    }
    case Verb::Output: return SwitchOutput(c.Number, c.On);
    case Verb::Fix:
    case Verb::Mask: return SetSky(c);
    case Verb::Status: return Ok(StatusJson());
    case Verb::Quit:
        m_frontEnd.RequestQuit();
        break;
    case Verb::Watch: return Error("watch needs a connection to send to");
    case Verb::WaitPoint:
    case Verb::WaitEnd: return Error(Describe("%s works in scenario scripts only", VerbName(c.Name)));
    }
    return Ok();
}

// The speed field of the position dialog: Free and M only, 0..99999 km/h, SavedSpeed while paused.
Reply RemoteControl::SetSpeed(double kmh)
{
    const TrackMode mode = m_sim.TrackReplay.Mode();
    if (mode == TrackMode::P) return Error("speed: mode P takes its speed from the track");
    if (mode == TrackMode::S) return Error("speed: mode S follows the track's times; set `ratio R` instead");
    if (kmh < 0 || kmh > MaxSpeedKmh) return Error("speed: KMH must be 0 to 99999");
    Engine& engine = m_sim.Core;
    if (engine.State == RunState::Paused)
        engine.SavedSpeed = kmh / KmhPerMps;
    else
        engine.Fix.Speed = kmh / KmhPerMps;
    engine.GetHost().RefreshPanel(1);
    return Ok();
}

// As the ratio presets: in mode S the speed follows at once (after the pause while paused); in the
// other modes the ratio waits for S.
Reply RemoteControl::SetRatio(double ratio)
{
    if (ratio < 0 || ratio > MaxSpeedRatio) return Error("ratio: R must be 0 to 100");
    Replay& replay = m_sim.TrackReplay;
    Engine& engine = m_sim.Core;
    replay.SetSpeedRatio(ratio);
    if (replay.Mode() == TrackMode::S) {
        const double speed = replay.TrackSpeed() * ratio;
        if (engine.State == RunState::Paused)
            engine.SavedSpeed = speed;
        else
            engine.Fix.Speed = speed;
    }
    engine.GetHost().RefreshPanel(1);
    return Ok();
}

// The realistic receiver's fix loss on request (what SIGUSR1 and SIGUSR2 do for `tolvex run`) and
// its elevation mask; both change the sentences from the next build on.
Reply RemoteControl::SetSky(const Command& c)
{
    Engine& engine = m_sim.Core;
    if (!engine.Options.Sky.Enabled)
        return Error(Describe("%s: realism is off, so the receiver always has its fix (tolvex run --sky, or the "
                              "options page \"卫星\")",
                              VerbName(c.Name)));
    if (c.Name == Verb::Fix) {
        engine.SetFixLost(c.On);
        return Ok(Json{{"fix", c.On ? "lost" : "ok"}}.dump());
    }
    engine.Options.Sky.MaskDeg = c.Value;
    engine.GetHost().RefreshPanel(1);
    return Ok(Json{{"mask", c.Value}}.dump());
}

// The jump keys Y, B, H, G pressed COUNT times without modifiers: Step degrees each.
Reply RemoteControl::Step(const Command& c)
{
    if (Reply r = RequireFree(c); !r.Ok) return r;
    const int key = VkLetter(c.Letter == 'N' ? 'Y' : c.Letter == 'S' ? 'B' : c.Letter == 'E' ? 'H' : 'G');
    Engine& engine = m_sim.Core;
    const int held = engine.HeldKeys;
    engine.HeldKeys &= ~(CtrlHeld | ShiftHeld);
    for (int i = 0; i < c.Number; ++i) m_operator.HandleKeyDown(key, false);
    engine.HeldKeys = held;
    return Ok();
}

Reply RemoteControl::Load(const Command& c)
{
    Simulator& sim = m_sim;
    const LoadOutcome outcome = LoadTrackFile(c.Text, sim.Track, sim.TrackReplay, sim.Core.Options, m_relay);
    if (!outcome.Loaded) {
        std::string message = "load: cannot load " + c.Text;
        if (!outcome.MessageShown) message += ": the file cannot be read, or no segment passed the filter";
        return Error(message);
    }
    m_frontEnd.TrackLoaded(outcome);
    return Ok(Json{{"segments", sim.Track.SegmentCountTotal()},
                   {"points", sim.Track.PointCountTotal()},
                   {"mode", ModeNames[static_cast<int>(sim.TrackReplay.Mode())]}}
                  .dump());
}

// On: the output's Active setting, and a start now if the simulator runs (what Run does for it).
// Off: the setting cleared and the output closed; the run state stays.
Reply RemoteControl::SwitchOutput(int k, bool on)
{
    if (k < 0 || k >= OutputCount) return Error("output: N must be 0 to 3");
    Engine& engine = m_sim.Core;
    engine.Options.Outputs[k].Active = on;
    if (on && engine.State != RunState::Stopped)
        engine.Outputs.Open(k);
    else if (!on)
        engine.Outputs.Close(k);
    m_sim.TrackReplay.UpdateStepInterval();
    engine.GetHost().RefreshPanel(2);
    const OutputRuntime& output = engine.Outputs[k];
    return Ok(Json{{"output", k}, {"state", output.IsOpen() ? "open" : output.StartFailed ? "failed" : "closed"}}.dump());
}

std::string RemoteControl::StatusJson() const
{
    const Engine& engine = m_sim.Core;
    const Replay& replay = m_sim.TrackReplay;
    const SimFix& fix = engine.Fix;
    Json status = {
        {"class", "STATUS"},
        {"state", StateNames[static_cast<int>(engine.State) & 3]},
        {"mode", ModeNames[static_cast<int>(replay.Mode())]},
        {"fix",
         {{"lat", fix.Latitude},
          {"lon", fix.Longitude},
          {"alt", fix.Altitude},
          {"speed_kmh", fix.Speed * KmhPerMps},
          {"course", fix.Course},
          {"time", SentenceTime(engine.Builder().Text(Sentence::RMC))}}},
    };
    if (engine.State == RunState::Paused) status["fix"]["saved_speed_kmh"] = engine.SavedSpeed * KmhPerMps;
    const TrackStore& store = m_sim.Track;
    if (store.Loaded()) {
        status["track"] = {
            {"file", store.LoadedTrackPath},
            {"segment", replay.Track()},
            {"segments", store.SegmentCountTotal()},
            {"point", replay.Point()},
            {"points", store.PointCountTotal()},
            {"point_in_segment", replay.PointInTrack()},
            {"points_in_segment", replay.PointsInTrack()},
            {"reverse", replay.Reversed()},
            {"loop", LoopNames[static_cast<int>(replay.Loop())]},
            {"offset", replay.LateralOffset()},
            {"ratio", replay.SpeedRatio()},
            {"step_ms", replay.StepInterval()},
        };
    } else {
        status["track"] = nullptr;
    }
    Json outputs = Json::array();
    for (int k = 0; k < OutputCount; ++k) {
        const OutputSettings& settings = engine.Options.Outputs[k];
        const OutputRuntime& runtime = engine.Outputs[k];
        Json output = {{"output", k},
                       {"active", settings.Active},
                       {"interval_ms", settings.Interval},
                       {"state", runtime.IsOpen() ? "open" : runtime.StartFailed ? "failed" : "closed"}};
        if (k == 0) {
            output["kind"] = "ozi";
            output["attached"] = runtime.LinkUp;
        } else {
            output["kind"] = settings.Virtual ? "virtual" : "serial";
            output["port"] = Describe("COM%d", settings.Port + 1);
            if (!settings.Virtual && !settings.Device.empty()) output["port"] = settings.Device;
            if (runtime.OpenPort) output["device"] = runtime.OpenPort->Describe();
            // A real line cannot tell whether anything listens at its other end.
            if (settings.Virtual)
                output["attached"] = runtime.OpenPort != nullptr && runtime.OpenPort->IsPeerOpen();
            else
                output["attached"] = nullptr;
        }
        outputs.push_back(std::move(output));
    }
    status["outputs"] = std::move(outputs);
    if (engine.Options.Sky.Enabled) {
        // The view of the last build: what the sentences just said.
        const SkyView& view = engine.Sky().View();
        status["sky"] = {{"mask", engine.Options.Sky.MaskDeg},
                         {"fix", view.FixValid},
                         {"lost_on_request", engine.Sky().FixLost()},
                         {"satellites", view.Satellites.size()},
                         {"used", view.UsedCount},
                         {"pdop", view.Dop.PDOP},
                         {"hdop", view.Dop.HDOP},
                         {"vdop", view.Dop.VDOP}};
    } else {
        status["sky"] = nullptr;
    }
    if (const LogPlayer* player = engine.Player())
        status["play"] = {{"file", player->Path()}, {"line", player->LineNumber()}, {"finished", player->Finished()}};
    return status.dump();
}

}  // namespace tolvex
