#include "control/panel.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "control/operator.h"
#include "control/text_width.h"
#include "nmea/nmea_builder.h"
#include "sim/engine.h"
#include "sim/lat_lon_format.h"
#include "sim/texts.h"
#include "tracks/replay.h"

namespace tolvex {
namespace {

constexpr int LineBufferSize = 160;
constexpr int PathFullWidth = 39;  // half-width units shown without shortening
constexpr int PathTailWidth = 36;
constexpr const char* IdeographicSpace = "\u3000";
constexpr int PathWipeSpaces = 15;

template <typename... Args>
std::string Format(const char* pattern, Args... args)
{
    char buffer[LineBufferSize];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// Labels and enabling of the run-state buttons.
struct RunStateRow {
    RunState State;
    const char* Label;
};
constexpr RunStateRow RunStateLabels[] = {
    {RunState::Stopped, Texts::Mark("停止 ")},
    {RunState::Running, Texts::Mark("运行 ")},
    {RunState::Paused, Texts::Mark("暂停 ")},
};

}  // namespace

const PanelText* PanelFrame::TextAt(int x, int y) const
{
    for (const PanelText& text : Texts)
        if (text.X == x && text.Y == y) return &text;
    return nullptr;
}

OutputIndicator ChooseOutputIndicator(int output, const OutputLook& look)
{
    if (look.StartFailed) return OutputIndicator::Failed;
    if (!look.Active) return OutputIndicator::Off;
    if (!look.Open) return OutputIndicator::Ready;
    if (output == 0 ? look.NoNMEA : look.Virtual && !look.PeerOpen) return OutputIndicator::Waiting;
    return OutputIndicator::Sending;
}

std::string PanelTrackPath(const std::string& path)
{
    std::string shown = path;
    const std::vector<CharacterSpan> characters = Characters(path);
    int width = 0;
    for (const CharacterSpan& c : characters) width += c.Width;
    if (width > PathFullWidth) {
        // Walk back from the end; the first character met once the tail has reached its width is kept too.
        std::size_t start = 0;
        int tail = 0;
        for (std::size_t i = characters.size(); i-- > 0;) {
            if (tail >= PathTailWidth) {
                start = characters[i].Offset;
                break;
            }
            tail += characters[i].Width;
        }
        shown = "..." + path.substr(start);
    }
    for (int i = 0; i < PathWipeSpaces; ++i) shown += IdeographicSpace;
    return shown;
}

std::string PointTimeLine(const TrackPoint* point)
{
    const std::string head = Texts::tr("当前航迹点时间（UTC）：        ");
    if (!point || !(point->Flags & HasTime)) return head + Texts::tr("无                               ");
    const double seconds = std::trunc(std::abs(point->Time) + 0.5);
    // Beyond what a calendar year fits in, the conversion fails and the time text stays empty.
    if (!(seconds < 1e15)) return head;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm calendar{};
    if (!gmtime_r(&t, &calendar)) return head;
    char buffer[64];
    if (std::strftime(buffer, sizeof buffer, "%Y.%m.%d  %H:%M:%S   ", &calendar) == 0) return head;
    return head + buffer;
}

std::string OffsetLine(double lateralOffset)
{
    if (lateralOffset < 0) return Format(Texts::tr("偏移 左%.1fm      ").c_str(), -lateralOffset);
    if (lateralOffset > 0) return Format(Texts::tr("偏移 右%.1fm      ").c_str(), lateralOffset);
    return Texts::tr("偏移 0m        ");
}

int Operator::ClientMask()
{
    int mask = 0;
    if (m_engine.State == RunState::Stopped) return mask;
    for (int i = 1; i < OutputCount; ++i) {
        auto& port = m_engine.Outputs[i].OpenPort;
        const OutputSettings& output = m_engine.Options.Outputs[i];
        if ((output.Virtual || !output.Net.empty()) && port && port->IsPeerOpen()) mask |= 1 << i;
    }
    return mask;
}

PanelFrame Operator::RefreshPanel(int mode)
{
    PanelFrame frame;
    const SimFix& fix = m_engine.Fix;
    const Settings& options = m_engine.Options;

    const LatLonText position = FormatPanelLatLon(options.LatLonFormatIndex, fix.Latitude, fix.Longitude);
    const double reported = ReportedSpeed(fix, m_engine.State, options);
    frame.Texts.push_back({position.Latitude, 4, 4, TextGroup::Fix});
    frame.Texts.push_back({position.Longitude, 176, 4, TextGroup::Fix});
    frame.Texts.push_back({Format(Texts::tr("速度 %7.1f Km/h     ").c_str(), fix.Speed * KmhPerMps), 4, 24, TextGroup::Fix});
    frame.Texts.push_back({Format(Texts::tr("高度 %9.1f m      ").c_str(), fix.Altitude), 176, 24, TextGroup::Fix});
    frame.Texts.push_back({Format(Texts::tr("GPS速度 %7.1f Km/h     ").c_str(), reported * KmhPerMps), 4, 44, TextGroup::Fix});
    frame.Texts.push_back({Format(Texts::tr("方位角 %6.2f°    ").c_str(), fix.Course), 176, 44, TextGroup::Fix});

    const int mask = ClientMask();
    if ((mode & 2) || mask != DrawnClientMask) {
        FillStatus(frame);
        DrawnClientMask = mask;
    }
    if (Mode() != TrackMode::Free) FillReplay(frame);
    frame.SelectedMode = Mode();
    return frame;
}

void Operator::FillStatus(PanelFrame& frame)
{
    frame.FullRedraw = true;
    const Settings& options = m_engine.Options;
    bool startable = !m_engine.Outputs[0].IsOpen() && options.Outputs[0].Active;
    for (int i = 1; i < OutputCount; ++i)
        startable = startable || (!m_engine.Outputs[i].IsOpen() && options.Outputs[i].Active);

    RunButtons& buttons = frame.Buttons;
    for (const RunStateRow& row : RunStateLabels)
        if (row.State == m_engine.State) buttons.Label = Texts::tr(row.Label);
    switch (m_engine.State) {
    case RunState::Running:
        buttons.RunEnabled = startable;
        buttons.PauseEnabled = buttons.StopEnabled = true;
        break;
    case RunState::Paused:
        buttons.RunEnabled = buttons.PauseEnabled = buttons.StopEnabled = true;
        break;
    default:
        buttons.RunEnabled = startable;
        break;
    }

    frame.Texts.push_back({buttons.Label, 46, 70, TextGroup::Status});
    frame.Texts.push_back({Texts::tr("输出"), 172, 68, TextGroup::Status});
    frame.Texts.push_back({Texts::tr("端口"), 172, 88, TextGroup::Status});
    frame.Texts.push_back({Texts::tr("状态"), 172, 108, TextGroup::Status});
    for (int i = 0; i < OutputCount; ++i) {
        const OutputSettings& settings = options.Outputs[i];
        OutputRuntime& runtime = m_engine.Outputs[i];
        OutputColumn& column = frame.Outputs[i];
        const int dx = 27 * i;
        column.Number = {Format("%d", i), 215 + dx, 68, TextGroup::Status};
        const bool network = i > 0 && !settings.Net.empty();
        const std::string port = i == 0             ? "OZI"
                                 : network          ? (settings.Net.starts_with("udp:") ? "UDP" : "TCP")
                                 : settings.Virtual ? Format("V%d  ", settings.Port + 1)
                                                    : Format("  %d  ", settings.Port + 1);
        column.Port = {port, 208 + dx, 88, TextGroup::Status};
        if (network) column.ToolTip = runtime.OpenPort ? runtime.OpenPort->NetworkLabel() : settings.Net;
        OutputLook look;
        look.StartFailed = runtime.StartFailed;
        look.Active = settings.Active;
        look.Open = i == 0 ? runtime.LinkUp : runtime.OpenPort != nullptr;
        // A network output waits like a virtual port until a client is there (UDP always has one).
        look.Virtual = settings.Virtual || network;
        look.PeerOpen = runtime.OpenPort && runtime.OpenPort->IsPeerOpen();
        look.NoNMEA = settings.NoNMEA;
        column.Indicator = ChooseOutputIndicator(i, look);
        column.PictureX = 206 + dx;
        column.PictureY = 104;
        frame.Texts.push_back(column.Number);
        frame.Texts.push_back(column.Port);
    }
}

void Operator::FillReplay(PanelFrame& frame) const
{
    frame.ReplayShown = true;
    const Replay& replay = *m_replay;
    const TrackStore& store = replay.Store();
    frame.Texts.push_back({Format(Texts::tr("%d / %d 段      ").c_str(), replay.Track(), store.SegmentCountTotal()), 5, 160,
                           TextGroup::Replay});
    frame.Texts.push_back({Format(Texts::tr("段内 %d / %d 点        ").c_str(), replay.PointInTrack(), replay.PointsInTrack()), 80, 160,
                           TextGroup::Replay});
    frame.Texts.push_back(
        {Format(Texts::tr("总 %d / %d 点          ").c_str(), replay.Point(), store.PointCountTotal()), 195, 160, TextGroup::Replay});
    frame.Texts.push_back({OffsetLine(replay.LateralOffset()), 214, 182, TextGroup::Replay});
    frame.Texts.push_back({replay.Mode() == TrackMode::S ? Format(Texts::tr("速度比例 %.2f     ").c_str(), replay.SpeedRatio())
                                                         : std::string(34, ' '),
                           214, 200, TextGroup::Replay});
    if (!store.LoadedTrackPath.empty())
        frame.Texts.push_back({PanelTrackPath(store.LoadedTrackPath), 28, 138, TextGroup::Replay});
    if (store.Loaded()) {
        const int index = replay.Point() > 0 ? replay.Point() - 1 : 0;
        frame.Texts.push_back({PointTimeLine(store.PointAt(index)), 4, 225, TextGroup::Replay});
    }
    frame.LoopPicture = replay.Loop();
    frame.ReversedPicture = replay.Reversed();
}

}  // namespace tolvex
