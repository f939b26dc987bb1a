#include "control/quick_help.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes.h"

namespace tolvex {
namespace {

using testing_fakes::Session;

TEST(QuickHelpTest, OpensOnTheSetOfTheModeAndSwitchesPages)
{
    Session s;
    EXPECT_TRUE(s.op.ShowQuickHelp());
    EXPECT_EQ(s.op.QuickHelp().HelpSet, 0);
    EXPECT_STREQ(QuickHelpTitle(s.op.QuickHelp().HelpSet), "快速帮助 - 自由驾驶模式");
    EXPECT_FALSE(s.op.ShowQuickHelp());
    s.op.SwitchQuickHelpPage();
    EXPECT_STREQ(QuickHelpTitle(s.op.QuickHelp().HelpSet), "快速帮助 - 航迹重播模式");
    s.op.SwitchQuickHelpPage();
    EXPECT_EQ(s.op.QuickHelp().HelpSet, 0);
    s.op.CloseQuickHelp();
    EXPECT_FALSE(s.op.QuickHelp().Open);

    s.Load({5}, TrackMode::M);
    EXPECT_TRUE(s.op.ShowQuickHelp());
    EXPECT_EQ(s.op.QuickHelp().HelpSet, 1);
    // A mode change while the window is open does not change the page.
    s.replay.SetTrackMode(TrackMode::Free);
    EXPECT_EQ(s.op.QuickHelp().HelpSet, 1);
}

TEST(QuickHelpTest, ReplaySetHasEmptyLines13And15)
{
    const auto& replay = QuickHelpLines(1);
    EXPECT_STREQ(replay[12], "");
    EXPECT_STREQ(replay[14], "");
    EXPECT_STREQ(replay[13], "方向盘按钮：自由驾驶模式                   P/M/S按钮：航迹重播P/M/S模式");
    const auto& free = QuickHelpLines(0);
    for (const char* line : free) EXPECT_STRNE(line, "");
    EXPECT_STREQ(free[0], replay[0]);
    EXPECT_STREQ(free[1], "鼠标滚轮转动：左右转向                   鼠标滚轮点击：暂停");
    EXPECT_STREQ(free[14], "~ 1 2 3 4 5 6 7 8 9 0：速度为 5 10 20 30 40 50 60 80 100 120 0 千米/小时");
    // Both pages name the map key.
    EXPECT_TRUE(std::string(free[12]).ends_with("D：打开/关闭地图"));
    EXPECT_TRUE(std::string(replay[6]).ends_with("D：打开/关闭地图"));
    EXPECT_STREQ(replay[11], "~ 1 2 3 4 5 6 7 8 9 0：速度比例为 0.2 0.3 0.5 0.75 1 1.5  2  3  5 10 0（S模式）");
    EXPECT_EQ(&QuickHelpLines(7), &QuickHelpLines(0));
}

struct TipCase {
    const char* Name;
    int Control;
    const char* Text;  // null: no tip
};

class ToolTipTest : public testing::TestWithParam<TipCase> {};

TEST_P(ToolTipTest, Text)
{
    const TipCase& c = GetParam();
    const char* text = ToolTipText(c.Control);
    if (!c.Text) {
        EXPECT_EQ(text, nullptr);
        return;
    }
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.Text);
}

INSTANTIATE_TEST_SUITE_P(Table, ToolTipTest,
                         testing::Values(TipCase{"Free", 1054, "切换为自由驾驶模式"},
                                         TipCase{"P", 1057, "切换为逐点重播航迹模式"},
                                         TipCase{"Loop", 1055, "在不循环、航迹文件循环、航迹段内循环间转换"},
                                         TipCase{"Open", 1049, "载入航迹文件"}, TipCase{"Run", 1000, "启动"},
                                         TipCase{"Stop", 1001, "停止"}, TipCase{"Pause", 1002, "暂停"},
                                         TipCase{"Help", 57670, "帮助。提示：右击面板调出菜单"},
                                         TipCase{"StaticTextHasNone", 1065, nullptr}, TipCase{"Zero", 0, nullptr}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(AboutTest, SystemCommandIgnoresTheLowBits)
{
    EXPECT_TRUE(IsAboutCommand(0x0010));
    EXPECT_TRUE(IsAboutCommand(0x001F));
    EXPECT_FALSE(IsAboutCommand(0x0020));
    EXPECT_FALSE(IsAboutCommand(0xF060));  // close
    EXPECT_STREQ(About::Name, "Tolvex GPS 模拟器 V0.3.1");
}

}  // namespace
}  // namespace tolvex
