#include "control/context_menu.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "control/keyboard.h"
#include "control/text_width.h"
#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

const MenuItem& Item(const std::vector<MenuItem>& menu, int id)
{
    for (const MenuItem& item : menu)
        if (item.Id == id) return item;
    static const MenuItem missing{"<missing>", -1, "<missing>"};
    return missing;
}

// Entries that follow a loaded track.
const std::set<int> TrackEntries = {MenuId::ModeP,       MenuId::ModeM,          MenuId::ModeS,
                                    MenuId::Reverse,     MenuId::NoLoop,         MenuId::FileLoop,
                                    MenuId::SegmentLoop, MenuId::PreviousSegment, MenuId::NextSegment,
                                    MenuId::SelectSegment};

enum class TrackState { None, LoadedFree, LoadedReplay };

struct EnablingCase {
    const char* Name;
    TrackState Track;
};

class MenuEnablingTest : public testing::TestWithParam<EnablingCase> {};

TEST_P(MenuEnablingTest, GreyEntries)
{
    const EnablingCase& c = GetParam();
    Session s;
    if (c.Track != TrackState::None) s.Load({5, 5}, TrackMode::M);
    if (c.Track == TrackState::LoadedFree) s.replay.SetTrackMode(TrackMode::Free);

    const std::vector<MenuItem> menu = s.op.ContextMenu();
    int entries = 0;
    for (const MenuItem& item : menu) {
        if (item.Separator) continue;
        ++entries;
        bool expected = true;
        if (TrackEntries.count(item.Id)) expected = c.Track != TrackState::None;
        if (item.Id == MenuId::SaveNmea) expected = c.Track == TrackState::LoadedReplay;
        EXPECT_EQ(item.Enabled, expected) << item.Text;
        EXPECT_EQ(s.op.MenuCommandEnabled(item.Id), expected) << item.Text;
    }
    EXPECT_EQ(entries, 3 + 21 + 3 + 4 + 1 + 1 + 3 + 3 + 1 + 6 + 1);
}

INSTANTIATE_TEST_SUITE_P(Table, MenuEnablingTest,
                         testing::Values(EnablingCase{"NoTrack", TrackState::None},
                                         EnablingCase{"TrackInFree", TrackState::LoadedFree},
                                         EnablingCase{"TrackReplayed", TrackState::LoadedReplay}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(MenuTest, TemplateOrderSubmenusAndSeparators)
{
    Session s;
    const std::vector<MenuItem> menu = s.op.ContextMenu();
    ASSERT_FALSE(menu.empty());
    EXPECT_EQ(menu.front().Submenu, "当前位置(&P)");
    EXPECT_EQ(menu.front().Text, "格式：度(&D)");
    EXPECT_EQ(menu.back().Id, MenuId::QuickHelp);
    EXPECT_EQ(menu.back().Text, "快速帮助(&H)");
    EXPECT_EQ(Item(menu, MenuId::SaveNmea).Text, "存为NMEA文件");
    EXPECT_EQ(Item(menu, MenuId::SaveNmea).Submenu, "航迹(&K)");
    EXPECT_EQ(Item(menu, MenuId::CopyLongitudeDMS).Text, "dddmmss.&ss");
    EXPECT_EQ(Item(menu, MenuId::CopyLongitudeDMS).Submenu, "复制经度(&G)");
    // The save entry comes after a separator that follows FP20.
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i].Id != MenuId::SaveFavorite) continue;
        ASSERT_GE(i, 2u);
        EXPECT_TRUE(menu[i - 1].Separator);
        EXPECT_EQ(menu[i - 2].Id, 32852);
    }
}

TEST(MenuTest, CheckMarksFollowModeLoopDirectionAndTopmost)
{
    Session s;
    std::vector<MenuItem> menu = s.op.ContextMenu();
    EXPECT_TRUE(Item(menu, MenuId::ModeFree).Checked);
    EXPECT_TRUE(Item(menu, MenuId::NoLoop).Checked);
    EXPECT_FALSE(Item(menu, MenuId::AlwaysOnTop).Checked);

    s.Load({5, 5}, TrackMode::S);
    s.replay.SetLoopMode(LoopMode::FileLoop);
    s.replay.ToggleReverse();
    EXPECT_EQ(s.op.RunMenuCommand(MenuId::AlwaysOnTop).Action, WindowAction::ApplyTopmost);
    menu = s.op.ContextMenu();
    EXPECT_FALSE(Item(menu, MenuId::ModeFree).Checked);
    EXPECT_TRUE(Item(menu, MenuId::ModeS).Checked);
    EXPECT_FALSE(Item(menu, MenuId::ModeM).Checked);
    EXPECT_TRUE(Item(menu, MenuId::FileLoop).Checked);
    EXPECT_FALSE(Item(menu, MenuId::NoLoop).Checked);
    EXPECT_TRUE(Item(menu, MenuId::Reverse).Checked);
    EXPECT_TRUE(Item(menu, MenuId::AlwaysOnTop).Checked);

    s.op.RunMenuCommand(MenuId::AlwaysOnTop);
    EXPECT_FALSE(s.engine.Options.AlwaysOnTop);
    EXPECT_FALSE(Item(s.op.ContextMenu(), MenuId::AlwaysOnTop).Checked);

    // The map entry and the D key flip the same flag, and the mark follows it.
    EXPECT_EQ(Item(menu, MenuId::MapWindow).Text, "地图(&D)");
    EXPECT_FALSE(Item(menu, MenuId::MapWindow).Checked);
    EXPECT_EQ(s.op.RunMenuCommand(MenuId::MapWindow).Action, WindowAction::MapWindow);
    EXPECT_TRUE(Item(s.op.ContextMenu(), MenuId::MapWindow).Checked);
    int toggled = 0;
    s.op.MapWindowToggled = [&] { ++toggled; };
    EXPECT_TRUE(s.op.HandleKeyDown(VkLetter('D'), false));
    EXPECT_TRUE(s.op.HandleKeyDown(VkLetter('D'), true));  // auto-repeat does not flicker it
    EXPECT_EQ(toggled, 1);
    EXPECT_FALSE(s.engine.Options.MapWindowOpen);
    EXPECT_FALSE(Item(s.op.ContextMenu(), MenuId::MapWindow).Checked);
}

TEST(MenuTest, FavoriteEntriesShowNameAndPosition)
{
    Session s;
    std::vector<MenuItem> menu = s.op.ContextMenu();
    EXPECT_EQ(Item(menu, 32822).Text, "1: 未命名  纬度  00.000000°   经度  000.000000°");
    EXPECT_EQ(Item(menu, 32832).Text.substr(0, 4), "10: ");
    EXPECT_EQ(Item(menu, 32852).Text.substr(0, 4), "20: ");

    s.engine.Options.LatLonFormatIndex = 1;
    s.engine.Options.Favorites[10] = FavoritePoint{"港口", -33.8688, 151.2093, 0, 0};
    menu = s.op.ContextMenu();
    EXPECT_EQ(Item(menu, 32843).Text, "11: 港口  纬度 -33°52.1280'   经度  151°12.5580'");

    // A long name is cut with the whole entry at 80 characters.
    s.engine.Options.Favorites[0].Name = std::string(63, 'n');
    const std::string text = Item(s.op.ContextMenu(), 32822).Text;
    EXPECT_EQ(CharacterCount(text), 80u);
    EXPECT_EQ(text.substr(0, 6), "1: nnn");
}

TEST(MenuTest, FavoriteCommandIds)
{
    EXPECT_EQ(FavoriteCommandId(1), 32822);
    EXPECT_EQ(FavoriteCommandId(9), 32830);
    EXPECT_EQ(FavoriteCommandId(10), 32832);
    EXPECT_EQ(FavoriteCommandId(11), 32843);
    EXPECT_EQ(FavoriteCommandId(20), 32852);
    EXPECT_EQ(FavoriteCommandId(0), 0);
    EXPECT_EQ(FavoriteCommandId(21), 0);
    EXPECT_EQ(FavoriteSlotOfCommand(32831), 0);  // the save command sits between FP9 and FP10
    EXPECT_EQ(FavoriteSlotOfCommand(32832), 10);
    for (int slot = 1; slot <= 20; ++slot) EXPECT_EQ(FavoriteSlotOfCommand(FavoriteCommandId(slot)), slot);
}

struct CommandCase {
    const char* Name;
    int Id;
    WindowAction Action;
    LatLonFormat Format;
    const char* Clipboard;
};

class MenuCommandTest : public testing::TestWithParam<CommandCase> {};

TEST_P(MenuCommandTest, WindowAction)
{
    const CommandCase& c = GetParam();
    Session s;
    s.Load({5}, TrackMode::M);
    s.engine.Fix.Latitude = 31.2304;
    s.engine.Fix.Longitude = -70.6693;
    const MenuCommandResult result = s.op.RunMenuCommand(c.Id);
    EXPECT_EQ(result.Action, c.Action);
    if (c.Action == WindowAction::EditPosition) {
        EXPECT_EQ(result.Format, c.Format);
    }
    EXPECT_EQ(result.ClipboardText, c.Clipboard);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MenuCommandTest,
    testing::Values(
        CommandCase{"PositionD", MenuId::EditPositionD, WindowAction::EditPosition, LatLonFormat::D, ""},
        CommandCase{"PositionDM", MenuId::EditPositionDM, WindowAction::EditPosition, LatLonFormat::DM, ""},
        CommandCase{"PositionDMS", MenuId::EditPositionDMS, WindowAction::EditPosition, LatLonFormat::DMS, ""},
        CommandCase{"SaveFavorite", MenuId::SaveFavorite, WindowAction::SaveFavorite, LatLonFormat::D, ""},
        CommandCase{"Options", MenuId::Options, WindowAction::Options, LatLonFormat::D, ""},
        CommandCase{"LoadTrack", MenuId::LoadTrack, WindowAction::OpenTrackFile, LatLonFormat::D, ""},
        CommandCase{"SaveNmea", MenuId::SaveNmea, WindowAction::SaveNmea, LatLonFormat::D, ""},
        CommandCase{"QuickHelp", MenuId::QuickHelp, WindowAction::QuickHelp, LatLonFormat::D, ""},
        CommandCase{"CopyLatitudeD", MenuId::CopyLatitudeD, WindowAction::CopyToClipboard, LatLonFormat::D, "31.230400"},
        CommandCase{"CopyLatitudeDM", MenuId::CopyLatitudeDM, WindowAction::CopyToClipboard, LatLonFormat::D,
                    "3113.8240"},
        CommandCase{"CopyLatitudeDMS", MenuId::CopyLatitudeDMS, WindowAction::CopyToClipboard, LatLonFormat::D,
                    "311349.44"},
        CommandCase{"CopyLongitudeD", MenuId::CopyLongitudeD, WindowAction::CopyToClipboard, LatLonFormat::D,
                    "-70.669300"},
        CommandCase{"CopyLongitudeDM", MenuId::CopyLongitudeDM, WindowAction::CopyToClipboard, LatLonFormat::D,
                    "-7040.1580"},
        CommandCase{"CopyLongitudeDMS", MenuId::CopyLongitudeDMS, WindowAction::CopyToClipboard, LatLonFormat::D,
                    "-704009.48"},
        CommandCase{"ModeSIsDoneHere", MenuId::ModeS, WindowAction::None, LatLonFormat::D, ""},
        CommandCase{"UnknownId", 12345, WindowAction::None, LatLonFormat::D, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MenuTest, ReplayCommandsReachTheReplay)
{
    Session s;
    s.Load({5, 5, 5}, TrackMode::M);
    s.op.RunMenuCommand(MenuId::ModeS);
    EXPECT_EQ(s.replay.Mode(), TrackMode::S);
    s.op.RunMenuCommand(MenuId::SegmentLoop);
    EXPECT_EQ(s.replay.Loop(), LoopMode::SegmentLoop);
    s.op.RunMenuCommand(MenuId::NextSegment);
    EXPECT_EQ(s.replay.Track(), 2);
    s.op.RunMenuCommand(MenuId::PreviousSegment);
    EXPECT_EQ(s.replay.Track(), 1);
    s.host.SegmentChoice = 2;
    s.op.RunMenuCommand(MenuId::SelectSegment);
    EXPECT_EQ(s.replay.Track(), 3);
    s.op.RunMenuCommand(MenuId::Reverse);
    EXPECT_TRUE(s.store.Reversed());
    s.op.RunMenuCommand(MenuId::ModeFree);
    EXPECT_EQ(s.replay.Mode(), TrackMode::Free);
}

TEST(MenuTest, GreyCommandsDoNothingWithoutATrack)
{
    Session s;
    for (const int id : TrackEntries) EXPECT_EQ(s.op.RunMenuCommand(id).Action, WindowAction::None);
    EXPECT_EQ(s.op.RunMenuCommand(MenuId::SaveNmea).Action, WindowAction::None);
    EXPECT_EQ(s.replay.Mode(), TrackMode::Free);
    EXPECT_EQ(s.replay.Track(), 0);
    EXPECT_TRUE(s.host.Messages.empty());
}

TEST(MenuTest, KeyboardMenuKeyOpensBesideTheClientCorner)
{
    EXPECT_EQ(MenuAnchor(-1, -1, 100, 200).X, 105);
    EXPECT_EQ(MenuAnchor(-1, -1, 100, 200).Y, 205);
    EXPECT_EQ(MenuAnchor(-1, 7, 100, 200).X, -1);  // a real point on a left screen edge stays
    EXPECT_EQ(MenuAnchor(640, 480, 100, 200).Y, 480);
}

TEST(MenuTest, QuickHelpCommandOnlyWhenClosed)
{
    Session s;
    EXPECT_EQ(s.op.RunMenuCommand(MenuId::QuickHelp).Action, WindowAction::QuickHelp);
    EXPECT_EQ(s.op.RunMenuCommand(MenuId::QuickHelp).Action, WindowAction::None);
}

}  // namespace
}  // namespace tolvex
