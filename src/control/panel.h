#pragma once
// What the panel draws, decided without a window: every text with its position and colour group,
// the run-state label and button enabling, the output indicators and the replay lines.

#include <array>
#include <string>
#include <vector>

#include "config/settings.h"
#include "sim/sim_fix.h"

namespace tolvex {

struct TrackPoint;

// Font and colour of a text: 12 pt Text1Color, 8 pt Text2Color, 10 pt Text3Color.
enum class TextGroup { Fix, Status, Replay };

struct PanelText {
    std::string Text;  // UTF-8, drawn opaque on BackColor at (X, Y), the top-left corner
    int X = 0;
    int Y = 0;
    TextGroup Group = TextGroup::Fix;
};

// OutputIcon pictures 160..164.
enum class OutputIndicator { Failed, Waiting, Off, Ready, Sending };

// What the indicator rules look at for one output.
struct OutputLook {
    bool StartFailed = false;
    bool Active = false;    // Active; OziActive for output 0
    bool Open = false;      // an OpenPort; the link up for output 0
    bool Virtual = false;   // outputs 1..3: a virtual port, or a network output
    bool PeerOpen = false;  // another program has the virtual port open, a client is connected
    bool NoNMEA = false;    // output 0
};
OutputIndicator ChooseOutputIndicator(int output, const OutputLook& look);

struct OutputColumn {
    PanelText Number;  // "%d" at (215 + 27i, 68)
    PanelText Port;    // "OZI", "V%d  ", "  %d  ", "TCP" or "UDP" at (208 + 27i, 88)
    std::string ToolTip;  // a network output's kind and full address
    OutputIndicator Indicator = OutputIndicator::Off;
    int PictureX = 0;  // 206 + 27i
    int PictureY = 104;
};

struct RunButtons {
    std::string Label;  // "停止 ", "运行 ", "暂停 " at (46, 70)
    bool RunEnabled = false;
    bool PauseEnabled = false;
    bool StopEnabled = false;
};

// One RefreshPanel: what to draw, in drawing order.
struct PanelFrame {
    std::vector<PanelText> Texts;
    // The run-state label, the button enabling, the output table and the keyboard focus were
    // redone (mode 2, or a virtual port gained or lost its client program).
    bool FullRedraw = false;
    RunButtons Buttons;                          // meaningful when FullRedraw
    std::array<OutputColumn, OutputCount> Outputs{};  // meaningful when FullRedraw
    bool ReplayShown = false;                    // the replay lines and the loop/direction pictures
    LoopMode LoopPicture = LoopMode::NoLoop;     // 176 / 175 / 185
    bool ReversedPicture = false;                // 178 when set, else 177
    TrackMode SelectedMode = TrackMode::Free;    // the mode button drawn selected

    // The text drawn at (x, y); null when none.
    const PanelText* TextAt(int x, int y) const;
};

// The track file name as the panel shows it: a path wider than 39 half-width units becomes "..."
// and a tail of about 36 units; 15 ideographic spaces follow to wipe a longer text.
std::string PanelTrackPath(const std::string& path);

// "当前航迹点时间（UTC）：        " and the point's time, or "无" for a point without time;
// null point (none at that index) reads as without time.
std::string PointTimeLine(const TrackPoint* point);

// "偏移 左12.3m      ", "偏移 右…", "偏移 0m        ".
std::string OffsetLine(double lateralOffset);

}  // namespace tolvex
