#include "control/context_menu.h"

#include "control/operator.h"
#include "sim/engine.h"
#include "sim/texts.h"
#include "tracks/replay.h"

namespace tolvex {
namespace {

// Which entries follow the track: grey without one (Replay), grey without one or in Free (Export).
enum class Enabling { Always, Track, Export };

struct MenuRow {
    const char* Submenu;  // "" for the top level
    int Id;               // 0 with a null Text: a separator
    const char* Text;
    Enabling Enable = Enabling::Always;
};

constexpr const char* Position = Texts::Mark("当前位置(&P)");
constexpr const char* Favorites = Texts::Mark("收藏点(&F)");
constexpr const char* Modes = Texts::Mark("模式(&M)");
constexpr const char* Track = Texts::Mark("航迹(&K)");
constexpr const char* CopyLatitude = Texts::Mark("复制纬度(&L)");
constexpr const char* CopyLongitude = Texts::Mark("复制经度(&G)");

// Template 136, top to bottom.
constexpr MenuRow MenuTemplate[] = {
    {Position, MenuId::EditPositionD, Texts::Mark("格式：度(&D)")},
    {Position, MenuId::EditPositionDM, Texts::Mark("格式：度分(&M)")},
    {Position, MenuId::EditPositionDMS, Texts::Mark("格式：度分秒(&S)")},
    {Favorites, 32822, "FP1"},
    {Favorites, 32823, "FP2"},
    {Favorites, 32824, "FP3"},
    {Favorites, 32825, "FP4"},
    {Favorites, 32826, "FP5"},
    {Favorites, 32827, "FP6"},
    {Favorites, 32828, "FP7"},
    {Favorites, 32829, "FP8"},
    {Favorites, 32830, "FP9"},
    {Favorites, 32832, "FP10"},
    {Favorites, 32843, "FP11"},
    {Favorites, 32844, "FP12"},
    {Favorites, 32845, "FP13"},
    {Favorites, 32846, "FP14"},
    {Favorites, 32847, "FP15"},
    {Favorites, 32848, "FP16"},
    {Favorites, 32849, "FP17"},
    {Favorites, 32850, "FP18"},
    {Favorites, 32851, "FP19"},
    {Favorites, 32852, "FP20"},
    {Favorites, 0, nullptr},
    {Favorites, MenuId::SaveFavorite, Texts::Mark("当前位置设为收藏点(&F)")},
    {"", 0, nullptr},
    {"", MenuId::Options, Texts::Mark("选项(&O)")},
    {"", MenuId::AlwaysOnTop, Texts::Mark("总在最前(&T)")},
    {"", MenuId::MapWindow, Texts::Mark("地图(&D)")},
    {"", 0, nullptr},
    {Modes, MenuId::ModeFree, Texts::Mark("自由驾驶(&F)")},
    {Modes, MenuId::ModeP, Texts::Mark("逐点重放航迹(&P)"), Enabling::Track},
    {Modes, MenuId::ModeM, Texts::Mark("手控速度航迹(&M)"), Enabling::Track},
    {Modes, MenuId::ModeS, Texts::Mark("比例速度航迹(&S)"), Enabling::Track},
    {Track, MenuId::LoadTrack, Texts::Mark("载入航迹(&L)")},
    {Track, 0, nullptr},
    {Track, MenuId::Reverse, Texts::Mark("反序(&R)"), Enabling::Track},
    {Track, 0, nullptr},
    {Track, MenuId::NoLoop, Texts::Mark("不循环(&X)"), Enabling::Track},
    {Track, MenuId::FileLoop, Texts::Mark("文件循环(&F)"), Enabling::Track},
    {Track, MenuId::SegmentLoop, Texts::Mark("段内循环(&T)"), Enabling::Track},
    {Track, 0, nullptr},
    {Track, MenuId::PreviousSegment, Texts::Mark("上一段(&P)"), Enabling::Track},
    {Track, MenuId::NextSegment, Texts::Mark("下一段(&N)"), Enabling::Track},
    {Track, MenuId::SelectSegment, Texts::Mark("选择段(&S)"), Enabling::Track},
    {Track, 0, nullptr},
    {Track, MenuId::SaveNmea, Texts::Mark("存为NMEA文件"), Enabling::Export},
    {"", 0, nullptr},
    {CopyLatitude, MenuId::CopyLatitudeD, "dd.&dddddd"},
    {CopyLatitude, MenuId::CopyLatitudeDM, "ddmm.&mmmm"},
    {CopyLatitude, MenuId::CopyLatitudeDMS, "ddmmss.&ss"},
    {CopyLongitude, MenuId::CopyLongitudeD, "ddd.&dddddd"},
    {CopyLongitude, MenuId::CopyLongitudeDM, "dddmm.&mmmm"},
    {CopyLongitude, MenuId::CopyLongitudeDMS, "dddmmss.&ss"},
    {"", 0, nullptr},
    {"", MenuId::QuickHelp, Texts::Mark("快速帮助(&H)")},
};

// The six clipboard commands.
struct CopyRow {
    int Id;
    CoordinateAxis Axis;
    CopyForm Form;
};
constexpr CopyRow CopyCommands[] = {
    {MenuId::CopyLatitudeD, CoordinateAxis::Latitude, CopyForm::Degrees},
    {MenuId::CopyLatitudeDM, CoordinateAxis::Latitude, CopyForm::DegreesMinutes},
    {MenuId::CopyLatitudeDMS, CoordinateAxis::Latitude, CopyForm::DegreesMinutesSeconds},
    {MenuId::CopyLongitudeD, CoordinateAxis::Longitude, CopyForm::Degrees},
    {MenuId::CopyLongitudeDM, CoordinateAxis::Longitude, CopyForm::DegreesMinutes},
    {MenuId::CopyLongitudeDMS, CoordinateAxis::Longitude, CopyForm::DegreesMinutesSeconds},
};

const MenuRow* FindRow(int id)
{
    for (const MenuRow& row : MenuTemplate)
        if (row.Id == id && id != 0) return &row;
    return nullptr;
}

}  // namespace

int FavoriteCommandId(int slot)
{
    if (slot >= 1 && slot <= 9) return 32821 + slot;
    if (slot == 10) return 32832;
    if (slot >= 11 && slot <= 20) return 32832 + slot;
    return 0;
}

int FavoriteSlotOfCommand(int id)
{
    for (int slot = 1; slot <= FavoriteCount; ++slot)
        if (FavoriteCommandId(slot) == id) return slot;
    return 0;
}

bool Operator::MenuCommandEnabled(int id) const
{
    const MenuRow* row = FindRow(id);
    if (!row) return false;
    switch (row->Enable) {
    case Enabling::Track: return TrackLoaded();
    case Enabling::Export: return TrackLoaded() && Mode() != TrackMode::Free;
    case Enabling::Always: return true;
    }
    return false;
}

std::vector<MenuItem> Operator::ContextMenu() const
{
    const TrackMode mode = Mode();
    const LoopMode loop = m_replay ? m_replay->Loop() : LoopMode::NoLoop;
    const bool reversed = m_replay && m_replay->Reversed();
    const Settings& options = m_engine.Options;

    std::vector<MenuItem> items;
    for (const MenuRow& row : MenuTemplate) {
        MenuItem item;
        item.Submenu = *row.Submenu ? Texts::tr(row.Submenu) : std::string();
        if (!row.Text) {
            item.Separator = true;
            items.push_back(item);
            continue;
        }
        item.Id = row.Id;
        item.Text = Texts::tr(row.Text);
        item.Enabled = MenuCommandEnabled(row.Id);
        switch (row.Id) {
        case MenuId::AlwaysOnTop: item.Checked = options.AlwaysOnTop; break;
        case MenuId::MapWindow: item.Checked = options.MapWindowOpen; break;
        case MenuId::ModeFree: item.Checked = mode == TrackMode::Free; break;
        case MenuId::ModeP: item.Checked = mode == TrackMode::P; break;
        case MenuId::ModeM: item.Checked = mode == TrackMode::M; break;
        case MenuId::ModeS: item.Checked = mode == TrackMode::S; break;
        case MenuId::Reverse: item.Checked = reversed; break;
        case MenuId::NoLoop: item.Checked = loop == LoopMode::NoLoop; break;
        case MenuId::FileLoop: item.Checked = loop == LoopMode::FileLoop; break;
        case MenuId::SegmentLoop: item.Checked = loop == LoopMode::SegmentLoop; break;
        default: break;
        }
        if (const int slot = FavoriteSlotOfCommand(row.Id))
            item.Text = FavoriteMenuText(options.LatLonFormatIndex, slot, options.Favorites[slot - 1]);
        items.push_back(item);
    }
    return items;
}

void Operator::ToggleAlwaysOnTop() { m_engine.Options.AlwaysOnTop = !m_engine.Options.AlwaysOnTop; }

void Operator::ToggleMapWindow() { m_engine.Options.MapWindowOpen = !m_engine.Options.MapWindowOpen; }

MenuCommandResult Operator::RunMenuCommand(int id)
{
    MenuCommandResult result;
    // A command of a grey entry (a stale menu, a shortcut) does nothing, as the entry could not be chosen.
    if (!MenuCommandEnabled(id)) return result;
    if (const int slot = FavoriteSlotOfCommand(id)) {
        JumpToFavorite(slot);
        return result;
    }
    for (const CopyRow& row : CopyCommands) {
        if (row.Id == id) {
            result.Action = WindowAction::CopyToClipboard;
            result.ClipboardText = CopyText(row.Axis, row.Form);
            return result;
        }
    }
    switch (id) {
    case MenuId::EditPositionD:
    case MenuId::EditPositionDM:
    case MenuId::EditPositionDMS:
        result.Action = WindowAction::EditPosition;
        result.Format = id == MenuId::EditPositionDM    ? LatLonFormat::DM
                        : id == MenuId::EditPositionDMS ? LatLonFormat::DMS
                                                        : LatLonFormat::D;
        break;
    case MenuId::SaveFavorite: result.Action = WindowAction::SaveFavorite; break;
    case MenuId::Options: result.Action = WindowAction::Options; break;
    case MenuId::AlwaysOnTop:
        ToggleAlwaysOnTop();
        result.Action = WindowAction::ApplyTopmost;
        break;
    case MenuId::MapWindow:
        ToggleMapWindow();
        result.Action = WindowAction::MapWindow;
        break;
    case MenuId::LoadTrack: result.Action = WindowAction::OpenTrackFile; break;
    case MenuId::SaveNmea: result.Action = WindowAction::SaveNmea; break;
    case MenuId::QuickHelp:
        if (ShowQuickHelp()) result.Action = WindowAction::QuickHelp;
        break;
    default:
        if (m_replay) RunReplayCommand(id);
        break;
    }
    return result;
}

void Operator::RunReplayCommand(int id)
{
    Replay& replay = *m_replay;
    switch (id) {
    case MenuId::ModeFree: replay.SetTrackMode(TrackMode::Free); break;
    case MenuId::ModeP: replay.SetTrackMode(TrackMode::P); break;
    case MenuId::ModeM: replay.SetTrackMode(TrackMode::M); break;
    case MenuId::ModeS: replay.SetTrackMode(TrackMode::S); break;
    case MenuId::Reverse: replay.ToggleReverse(); break;
    case MenuId::NoLoop: replay.SetLoopMode(LoopMode::NoLoop); break;
    case MenuId::FileLoop: replay.SetLoopMode(LoopMode::FileLoop); break;
    case MenuId::SegmentLoop: replay.SetLoopMode(LoopMode::SegmentLoop); break;
    case MenuId::PreviousSegment: replay.PreviousSegment(); break;
    case MenuId::NextSegment: replay.NextSegment(); break;
    case MenuId::SelectSegment: replay.SelectSegment(); break;
    default: break;
    }
}

}  // namespace tolvex
