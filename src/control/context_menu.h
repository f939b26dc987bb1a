#pragma once
// The popup menu: its template with command ids, and the entries as they are shown at one moment.

#include <string>
#include <vector>

namespace tolvex {

// Command ids of the menu template.
namespace MenuId {
inline constexpr int EditPositionD = 32802;
inline constexpr int EditPositionDM = 32793;
inline constexpr int EditPositionDMS = 32794;
inline constexpr int SaveFavorite = 32831;
inline constexpr int Options = 32791;
inline constexpr int AlwaysOnTop = 32786;
inline constexpr int ModeFree = 32855;
inline constexpr int ModeP = 32857;
inline constexpr int ModeM = 32859;
inline constexpr int ModeS = 32861;
inline constexpr int LoadTrack = 32864;
inline constexpr int Reverse = 32866;
inline constexpr int NoLoop = 32868;
inline constexpr int FileLoop = 32870;
inline constexpr int SegmentLoop = 32872;
inline constexpr int PreviousSegment = 32876;
inline constexpr int NextSegment = 32874;
inline constexpr int SelectSegment = 32878;
inline constexpr int SaveNmea = 32882;
inline constexpr int CopyLatitudeD = 32803;
inline constexpr int CopyLatitudeDM = 32797;
inline constexpr int CopyLatitudeDMS = 32798;
inline constexpr int CopyLongitudeD = 32804;
inline constexpr int CopyLongitudeDM = 32800;
inline constexpr int CopyLongitudeDMS = 32801;
inline constexpr int QuickHelp = 32805;
inline constexpr int MapWindow = 32884;  // opens or closes the map window
}  // namespace MenuId

// FP1..FP9 are 32822..32830, FP10 32832, FP11..FP20 32843..32852; 0 outside 1..20.
int FavoriteCommandId(int slot);
// The slot 1..20 of an FP command; 0 for any other id.
int FavoriteSlotOfCommand(int id);

// Where the menu opens: the request's screen point, or for the keyboard's menu key (reported as
// -1, -1) 5 pixels right of and below the client area's top-left corner (clientX, clientY on screen).
struct ScreenPoint {
    int X = 0;
    int Y = 0;
};
constexpr ScreenPoint MenuAnchor(int x, int y, int clientX, int clientY)
{
    return x == -1 && y == -1 ? ScreenPoint{clientX + 5, clientY + 5} : ScreenPoint{x, y};
}

// One line of the menu: an entry, or a separator (Id 0, empty Text). Submenu is the text of the
// submenu the line sits in, empty for the top level.
struct MenuItem {
    std::string Submenu;
    int Id = 0;
    std::string Text;
    bool Separator = false;
    bool Checked = false;
    bool Enabled = true;
};

// What the window does after a menu command; the rest was done by the controller itself.
enum class WindowAction {
    None,
    EditPosition,     // open the position dialog of Format
    SaveFavorite,     // open "当前位置设为收藏点"
    Options,          // the options sheet
    ApplyTopmost,     // SetWindowPos with HWND_TOPMOST / HWND_NOTOPMOST as AlwaysOnTop now says
    OpenTrackFile,    // the open-file dialog
    SaveNmea,         // the NMEA export dialog
    CopyToClipboard,  // place ClipboardText on the clipboard as 8-bit text
    QuickHelp,        // create the quick-help window (only when it was not open)
    MapWindow,        // show or close the map window as MapWindowOpen now says
};

}  // namespace tolvex
