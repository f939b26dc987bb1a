#pragma once
// Everything the operator can do at the panel, decided without a window. The window forwards each
// key, mouse and menu event here and draws what RefreshPanel returns.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/context_menu.h"
#include "control/drive_rules.h"
#include "control/favorites.h"
#include "control/mouse.h"
#include "control/panel.h"
#include "control/position_dialog.h"
#include "control/quick_help.h"
#include "sim/lat_lon_format.h"

namespace tolvex {

class Engine;
class Replay;

struct MenuCommandResult {
    WindowAction Action = WindowAction::None;
    LatLonFormat Format = LatLonFormat::D;  // for EditPosition
    std::string ClipboardText;              // for CopyToClipboard
};

class Operator {
public:
    // replay may be null: free driving only, every replay entry disabled.
    Operator(Engine& engine, Replay* replay);
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;

    // Keyboard. HandleKeyDown returns whether the key was consumed (then the panel is redrawn);
    // repeat is the previous-key-state bit of an auto-repeated key-down. Key-ups are never consumed.
    bool HandleKeyDown(int virtualKey, bool repeat);
    bool HandleKeyUp(int virtualKey);

    // Mouse buttons over the panel itself.
    void LeftButtonPressed() { LeftButtonDown = true; }
    void LeftButtonReleased() { LeftButtonDown = false; }
    void RightButtonPressed() { RightButtonDown = true; }
    // True when the release goes on to normal processing, that is, the popup menu.
    bool RightButtonReleased();
    // Toggles pause; the press is consumed.
    void MiddleButtonPressed();
    // delta as the signed 16-bit wheel delta; (x, y) the cursor in client pixels.
    void HandleMouseWheel(int delta, int x, int y);
    DoubleClickTarget HandleDoubleClick(int x, int y) const;

    // The panel for RefreshPanel(mode): mode 1 the values, mode 2 (bit 2) also the run-state line,
    // the buttons and the output table. Remembers the client mask of a full redraw.
    PanelFrame RefreshPanel(int mode);

    // The popup menu as it shows now, and one of its commands.
    std::vector<MenuItem> ContextMenu() const;
    bool MenuCommandEnabled(int id) const;
    MenuCommandResult RunMenuCommand(int id);
    void ToggleAlwaysOnTop();
    // "地图(&D)" and the D key: MapWindowOpen flips; the window follows it.
    void ToggleMapWindow();

    // "当前位置设为收藏点": the snapshot and the dialog's texts, then OK with the chosen 0-based slot
    // (-1 when none) and the typed name.
    FavoriteDraft BeginSaveFavorite() const;
    std::string FavoriteName(int slotIndex) const;
    void SaveFavorite(const FavoriteDraft& draft, int slotIndex, std::string_view typedName);
    // Slot n = 1..20; any other n does nothing.
    void JumpToFavorite(int n);

    // The position dialogs: open (the replay is held while running), "确定" (a field out of range
    // is returned and the dialog stays open), "取消".
    PositionForm OpenPositionDialog(LatLonFormat format);
    std::optional<FieldRangeError> ConfirmPositionDialog(const PositionForm& form);
    void CancelPositionDialog();

    // The clipboard text of the current latitude or longitude.
    std::string CopyText(CoordinateAxis axis, CopyForm form) const;

    // Quick help: true when a new window is to be created; nothing while one is open.
    bool ShowQuickHelp();
    void SwitchQuickHelpPage();
    void CloseQuickHelp();
    const QuickHelpState& QuickHelp() const { return m_quickHelp; }
    // Called when the Enter key opens the quick help, so the window creates it.
    std::function<void()> QuickHelpOpened;
    // Called when the D key has flipped MapWindowOpen, so the window opens or closes the map.
    std::function<void()> MapWindowToggled;

    // Display and input state of the main window.
    bool LeftButtonDown = false;
    bool RightButtonDown = false;
    bool RightWheelUsed = false;
    int DrawnClientMask = 0;

private:
    TrackMode Mode() const;
    bool TrackLoaded() const;
    ReplayPosition Position() const;
    double JumpDistance() const;
    void Refresh();

    // Keyboard actions.
    void SpeedUp();
    void SlowDown();
    void SetPreset(int index);
    void JumpSideways(double sign);
    void JumpBy(double northDegrees, double eastDegrees);
    void SetRatio(double ratio);
    void ChangeOffset(double metres);

    // Wheel actions.
    void PlainWheel(int delta, double notches);
    void WheelOnCell(WheelCell cell, int delta, double notches);
    void SpeedRule(int delta, double lowerLimit);
    void MoveSegment(std::int64_t n);
    void MovePoint(std::int64_t n);

    void RunReplayCommand(int id);
    int ClientMask();
    void FillStatus(PanelFrame& frame);
    void FillReplay(PanelFrame& frame) const;

    Engine& m_engine;
    Replay* m_replay;
    QuickHelpState m_quickHelp;
};

}  // namespace tolvex
