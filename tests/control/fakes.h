#pragma once
// A whole simulator without a window: engine, track store, replay and the operator controls, with a
// host and serial ports that only record.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/operator.h"
#include "links/serial_port.h"
#include "sim/clock.h"
#include "sim/engine.h"
#include "sim/host.h"
#include "tracks/replay.h"
#include "tracks/track_store.h"

namespace tolvex::testing_fakes {

class FakeHost : public Host {
public:
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override
    {
        Messages.push_back(caption + ": " + text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) override
    {
        std::array<bool, 4> all{};
        for (int i = 0; i < 4; ++i) all[i] = entries[i].Enabled;
        return all;
    }
    std::optional<int> ChooseSegment(const std::vector<std::string>&, const std::string&) override
    {
        return SegmentChoice;
    }
    std::optional<GpxContent> ChooseGpxContent(int, int) override { return GpxContent::Both; }
    void RefreshPanel(int mode) override { ++Refreshes[mode]; }

    std::vector<std::string> Messages;
    std::map<int, int> Refreshes;
    std::optional<int> SegmentChoice = 0;
};

// A port whose peer program the test opens and closes by hand.
class FakePort : public SerialPort {
public:
    FakePort(int number, bool isVirtual, const bool& peerOpen) : m_number(number), m_virtual(isVirtual), m_peer(peerOpen) {}
    int Number() const override { return m_number; }
    bool IsVirtual() const override { return m_virtual; }
    std::string Describe() const override { return "COM" + std::to_string(m_number); }
    WriteResult Write(const char* bytes, std::size_t length) override
    {
        Written.append(bytes, length);
        return WriteResult::Written;
    }
    void Close() override {}
    bool IsPeerOpen() override { return m_peer; }

    std::string Written;

private:
    int m_number;
    bool m_virtual;
    const bool& m_peer;
};

class FakePortFactory : public PortFactory {
public:
    std::unique_ptr<SerialPort> Open(const SerialPortRequest& request, Host&) override
    {
        if (FailingNumbers.count(request.Number)) return nullptr;
        return std::make_unique<FakePort>(request.Number, request.Virtual, PeerOpen[request.Number]);
    }
    void RemoveLeftoverPorts(Host&) override {}

    std::map<int, bool> PeerOpen;  // by COM number; a reference into it is held by each open port
    std::map<int, int> FailingNumbers;
};

class FixedClock : public CalendarClock {
public:
    std::int64_t Now() const override { return 1241136000; }
};

// Points of one segment: a straight line east along the equator, one per 0.001 degree, timed
// 10 s apart from 2009-05-01 00:00:00 UTC.
inline BuiltTrack LineTrack(const std::vector<int>& segmentPointCounts, bool timed = true)
{
    BuiltTrack track;
    int number = 0;
    for (const int count : segmentPointCounts) {
        TrackSegment segment;
        segment.FirstPoint = number + 1;
        segment.PointCount = count;
        for (int i = 0; i < count; ++i, ++number) {
            TrackPoint p;
            p.Latitude = 0;
            p.Longitude = 0.001 * number;
            p.Time = 1241136000.0 + 10 * number;
            p.Flags = timed ? HasTime : 0;
            if (i == 0) p.Flags |= SegmentStart;
            if (i == count - 1) p.Flags |= SegmentEnd;
            track.Points.push_back(p);
        }
        track.Segments.push_back(segment);
    }
    return track;
}

struct Session {
    Session() : engine(host, clock, ports), replay(engine.Fix, engine.Options, engine.Outputs.Table(), host, store, engine.ExportRunning), op(engine, &replay)
    {
        engine.SetReplay(&replay);
    }

    // Installs the track and starts replaying it in the given mode, as a successful load does.
    void Load(const std::vector<int>& segmentPointCounts, TrackMode mode, bool timed = true)
    {
        store.Install(LineTrack(segmentPointCounts, timed));
        store.LoadedTrackPath = "/data/tracks/line.plt";
        engine.Options.LastTrackMode = static_cast<int>(mode);
        replay.StartNewTrack();
    }

    FakeHost host;
    FixedClock clock;
    FakePortFactory ports;
    Engine engine;
    TrackStore store;
    Replay replay;
    Operator op;
};

}  // namespace tolvex::testing_fakes
