#pragma once
// The control channel's commands carried out on the simulator, each through the operator's own
// action (keys, wheel, menu, dialogs, favourites) so that the same clamps and conditions hold.
// Runs on the simulation thread between ticks, like every other input.

#include <string>
#include <string_view>

#include "remote/command.h"
#include "tracks/track_loader.h"

namespace tolvex {

class HostRelay;
class Operator;
struct Simulator;

// What the front end (the window or the headless runner) does for a command.
class RemoteFrontEnd {
public:
    virtual ~RemoteFrontEnd() = default;
    // A track came in through `load`: the window shows its title and the track-mode bar.
    virtual void TrackLoaded(const LoadOutcome&) {}
    // `quit`: close the way the window closes (settings saved) once the reply is out.
    virtual void RequestQuit() = 0;
};

// One reply line: "ok", "ok {json}" or "error message".
struct Reply {
    bool Ok = true;
    std::string Body;  // a JSON object, possibly empty, or the error message
    std::string Line() const;
};
Reply Ok(std::string json = {});
Reply Error(std::string message);

class RemoteControl {
public:
    RemoteControl(Simulator& sim, Operator& op, HostRelay& relay, RemoteFrontEnd& frontEnd);

    // Parses and carries out one line. `watch` is the listener's; the wait commands are the script's.
    Reply Execute(std::string_view line);
    Reply Execute(const Command& command);

    // The status object: run state, mode, fix, track, outputs, the sky with realism on, the log played.
    std::string StatusJson() const;

    Simulator& Sim() { return m_sim; }

private:
    Reply Dispatch(const Command& command);
    Reply RequireFree(const Command& command) const;
    Reply RequireTrack(const Command& command) const;
    Reply RequireReplay(const Command& command) const;
    Reply Load(const Command& command);
    Reply Step(const Command& command);
    Reply SetSpeed(double kmh);
    Reply SetRatio(double ratio);
    Reply SwitchOutput(int k, bool on);
    Reply SetSky(const Command& command);
    std::string StateJson() const;

    Simulator& m_sim;
    Operator& m_operator;
    HostRelay& m_relay;
    RemoteFrontEnd& m_frontEnd;
};

}  // namespace tolvex
