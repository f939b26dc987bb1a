#include "control/favorites.h"

#include <gtest/gtest.h>

#include <string>

#include "control/text_width.h"
#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

struct NameCase {
    const char* Name;
    std::string Typed;
    std::string Stored;
};

class CleanNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(CleanNameTest, Stored)
{
    EXPECT_EQ(CleanFavoriteName(GetParam().Typed), GetParam().Stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CleanNameTest,
    testing::Values(NameCase{"OuterBlanksAndComma", "  home, north  ", "home- north"},
                    NameCase{"OnlyBlanks", "     ", "未命名"}, NameCase{"Empty", "", "未命名"},
                    NameCase{"AllCommas", ",,", "--"}, NameCase{"ChineseKept", "浦东机场", "浦东机场"},
                    NameCase{"IdeographicSpacesStripped", "\u3000家\u3000", "家"},
                    NameCase{"OnlyIdeographicSpaces", "\u3000\u3000", "未命名"},
                    NameCase{"TabsStripped", "\tpark\t", "park"},
                    NameCase{"LineBreakWouldSplitTheSettingsLine", "a\nb\r\n", "a b"},
                    NameCase{"FullWidthCommaIsNoComma", "甲，乙", "甲，乙"},
                    NameCase{"CutTo63Characters", std::string(70, 'x'), std::string(63, 'x')},
                    NameCase{"CutCountsCharactersNotBytes", Repeat("点", 70), Repeat("点", 63)}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FavoriteTextsTest, DescriptionListRowAndMenuText)
{
    EXPECT_EQ(FavoriteDescription(0, 31.2, 121.5, 10, 90),
              "纬度  31.200000°    经度  121.500000°    高度 10.0m    方位角 90.00°");
    const FavoritePoint point{"家", 31.5, -0.25, 0, 0};
    EXPECT_EQ(FavoriteListRow(2, 5, point), " 5:   纬度  31°30'00.00\"    经度 -000°15'00.00\"     家");
    EXPECT_EQ(FavoriteMenuText(2, 12, point), "12: 家  纬度  31°30'00.00\"   经度 -000°15'00.00\"");
    const FavoritePoint longName{std::string(63, 'z'), 0, 0, 0, 0};
    EXPECT_EQ(CharacterCount(FavoriteListRow(0, 20, longName)), 80u);
}

TEST(SaveFavoriteTest, StoresTheSnapshotNotTheMovedFix)
{
    Session s;
    s.engine.Fix = SimFix{31.2, 121.5, 10, 90, 20};
    s.engine.Options.Favorites[0].Name = "第一";
    const FavoriteDraft draft = s.op.BeginSaveFavorite();
    EXPECT_EQ(draft.Name, "第一");
    EXPECT_EQ(draft.Selected, 0);
    EXPECT_EQ(draft.Description, "纬度  31.200000°    经度  121.500000°    高度 10.0m    方位角 90.00°");
    EXPECT_EQ(draft.Rows[0], " 1:   纬度  00.000000°    经度  000.000000°     第一");
    EXPECT_EQ(draft.Rows[19].substr(0, 3), "20:");
    EXPECT_EQ(s.op.FavoriteName(19), "未命名");
    EXPECT_EQ(s.op.FavoriteName(20), "");

    s.engine.Fix = SimFix{1, 2, 3, 4, 5};  // the timer moves on while the dialog is open
    s.op.SaveFavorite(draft, 6, "  home, north  ");
    const FavoritePoint& slot = s.engine.Options.Favorites[6];
    EXPECT_EQ(slot.Name, "home- north");
    EXPECT_EQ(slot.Latitude, 31.2);
    EXPECT_EQ(slot.Longitude, 121.5);
    EXPECT_EQ(slot.Altitude, 10);
    EXPECT_EQ(slot.Course, 90);
}

TEST(SaveFavoriteTest, NoSlotChosenChangesNothing)
{
    Session s;
    const FavoriteDraft draft = s.op.BeginSaveFavorite();
    const auto before = s.engine.Options.Favorites;
    s.op.SaveFavorite(draft, -1, "x");
    s.op.SaveFavorite(draft, 20, "x");
    for (int i = 0; i < FavoriteCount; ++i) EXPECT_EQ(s.engine.Options.Favorites[i].Name, before[i].Name);
}

TEST(JumpToFavoriteTest, FreeDrivingTakesThePoseKeepsTheSpeed)
{
    Session s;
    s.engine.Options.Favorites[4] = FavoritePoint{"五", 31.2, 121.5, 10, 90};
    s.engine.Fix = SimFix{1, 2, 3, 4, 5};
    s.op.JumpToFavorite(5);
    EXPECT_EQ(s.engine.Fix.Latitude, 31.2);
    EXPECT_EQ(s.engine.Fix.Longitude, 121.5);
    EXPECT_EQ(s.engine.Fix.Altitude, 10);
    EXPECT_EQ(s.engine.Fix.Course, 90);
    EXPECT_EQ(s.engine.Fix.Speed, 5);
    EXPECT_GE(s.host.Refreshes[1], 1);

    s.op.JumpToFavorite(20);  // never used: 0, 0, 0, 0
    EXPECT_EQ(s.engine.Fix.Latitude, 0);
    EXPECT_EQ(s.engine.Fix.Course, 0);
}

TEST(JumpToFavoriteTest, OutOfRangeSlotDoesNothing)
{
    Session s;
    s.engine.Fix = SimFix{1, 2, 3, 4, 5};
    for (const int n : {0, -1, 21, 1000}) s.op.JumpToFavorite(n);
    EXPECT_EQ(s.engine.Fix.Latitude, 1);
    EXPECT_EQ(s.engine.Fix.Course, 4);
}

TEST(JumpToFavoriteTest, ReplaySnapsToTheNearestPlaceOfTheTrack)
{
    Session s;
    s.Load({50}, TrackMode::S);
    // The line track runs along the equator, 0.001 degrees per point: 0.0203 east is nearest point 21.
    s.engine.Options.Favorites[0] = FavoritePoint{"近", 0.5, 0.0203, 999, 45};
    s.op.JumpToFavorite(1);
    EXPECT_EQ(s.replay.Point(), 21);
    EXPECT_NE(s.engine.Fix.Altitude, 999);
    EXPECT_NE(s.engine.Fix.Course, 45);
    EXPECT_NEAR(s.engine.Fix.Latitude, 0, 1e-9);
}

}  // namespace
}  // namespace tolvex
