#pragma once
// Stand-ins for the user, the calendar and the ports, shared by the engine and builder tests.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "links/serial_port.h"
#include "sim/clock.h"
#include "sim/host.h"
#include "sim/replay_driver.h"

namespace tolvex::testing {

struct FakeCalendar final : CalendarClock {
    std::int64_t Seconds = 1245054605;  // 2009-06-15 08:30:05 UTC
    std::int64_t Now() const override { return Seconds; }
};

struct RecordingHost : Host {
    struct Message {
        std::string Text, Caption;
        MessageIcon Icon;
    };
    std::vector<Message> Messages;
    std::vector<int> Refreshes;
    std::vector<std::array<StopChoiceEntry, 4>> StopChoices;
    std::optional<std::array<bool, 4>> StopAnswer;  // nothing: Cancel
    std::vector<std::string> Questions;
    bool YesNoAnswer = true;
    std::vector<std::string> SegmentRows;
    std::string SegmentSummary;
    std::optional<int> SegmentAnswer = 0;  // nothing: Cancel

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        Messages.push_back({text, caption, icon});
    }
    bool AskYesNo(const std::string& text, const std::string&) override
    {
        Questions.push_back(text);
        return YesNoAnswer;
    }
    std::optional<std::array<bool, 4>> ChooseOutputsToStop(const std::array<StopChoiceEntry, 4>& entries) override
    {
        StopChoices.push_back(entries);
        return StopAnswer;
    }
    std::optional<int> ChooseSegment(const std::vector<std::string>& rows, const std::string& summary) override
    {
        SegmentRows = rows;
        SegmentSummary = summary;
        return SegmentAnswer;
    }
    std::optional<GpxContent> ChooseGpxContent(int, int) override { return GpxContent::Tracks; }
    void RefreshPanel(int mode) override { Refreshes.push_back(mode); }
};

// Every write of every fake port, in order, as "COMn:<text>".
struct PortLog {
    std::vector<std::string> Writes;
    std::vector<std::string> Events;
};

struct FakePort final : SerialPort {
    FakePort(PortLog& log, const SerialPortRequest& request) : Log(log), Request(request) {}
    int Number() const override { return Request.Number; }
    bool IsVirtual() const override { return Request.Virtual; }
    std::string Describe() const override { return "COM" + std::to_string(Request.Number); }
    WriteResult Write(const char* bytes, std::size_t length) override
    {
        Log.Writes.push_back(Describe() + ":" + std::string(bytes, length));
        return NextResult;
    }
    void Close() override { Log.Events.push_back("close " + Describe()); }
    bool IsPeerOpen() override { return PeerOpen; }

    PortLog& Log;
    SerialPortRequest Request;
    WriteResult NextResult = WriteResult::Written;
    bool PeerOpen = false;  // a virtual port: some program has it open
};

struct FakePortFactory final : PortFactory {
    PortLog Log;
    std::vector<int> Refuse;  // COM numbers that fail to open
    std::vector<FakePort*> Opened;

    std::unique_ptr<SerialPort> Open(const SerialPortRequest& request, Host& host) override
    {
        Log.Events.push_back("open COM" + std::to_string(request.Number));
        for (int n : Refuse) {
            if (n == request.Number) {
                host.ShowMessage("无法打开串口 COM" + std::to_string(n) + " ", "错误", MessageIcon::Error);
                return nullptr;
            }
        }
        auto port = std::make_unique<FakePort>(Log, request);
        Opened.push_back(port.get());
        return port;
    }
    void RemoveLeftoverPorts(Host&) override { Log.Events.push_back("leftovers"); }
};

struct FakeReplay final : ReplayDriver {
    TrackMode CurrentMode = TrackMode::P;
    int Interval = 1000;
    bool Busy = false;
    int Steps = 0;
    int FinishOnStep = -1;  // the step that reports the end of the track
    std::vector<std::pair<double, double>> Snaps;

    TrackMode Mode() const override { return CurrentMode; }
    int StepInterval() const override { return Interval; }
    bool TrackBusy() const override { return Busy; }
    void ReplayStep(bool& finished, bool) override
    {
        ++Steps;
        if (Steps == FinishOnStep) finished = true;
    }
    void SnapToTrack(double latitude, double longitude) override { Snaps.emplace_back(latitude, longitude); }
};

}  // namespace tolvex::testing
