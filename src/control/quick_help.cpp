#include "control/quick_help.h"

#include "sim/texts.h"

namespace tolvex {
namespace {

// Line i goes to control 1064 + i.
constexpr std::array<const char*, QuickHelpLineCount> FreeDrivingLines = {
    Texts::Mark("鼠标右击：菜单                                   鼠标双击：编辑当前位置或选项"),
    Texts::Mark("鼠标滚轮转动：左右转向                   鼠标滚轮点击：暂停"),
    Texts::Mark("鼠标左键+滚轮：加/减速度                Enter：快速帮助"),
    Texts::Mark("鼠标右键+滚轮：视光标所在位置，改变经纬度、高度、速度、方位角"),
    Texts::Mark("Q 或 O：左转 10 度                              W 或 P：右转 10 度"),
    Texts::Mark("Z 或 <：左转 45 度                               X 或 >：右转 45 度"),
    Texts::Mark("左/右箭头：左/右转向                        上/下箭头：加/减速度"),
    Texts::Mark("F5：正北          F6：正东                      F7：正南        F8：正西"),
    Texts::Mark("Esc：停止         F1：帮助                      F2：运行       空格：暂停"),
    Texts::Mark("OZI中单击地图：驶向该点                  OZI中双击地图：跳跃至该点"),
    Texts::Mark("A 或 L：向左跳跃 1 步                          S 或 分号：向右跳跃 1 步"),
    Texts::Mark("Y/H/B/G：向北/东/南/西跳跃 1 步       Ctrl+1～0：跳至收藏点1～10"),
    Texts::Mark("U/N/V/T：向东北/东南/西南/西北跳跃 1 步      D：打开/关闭地图"),
    Texts::Mark("Ctrl/Shift/Ctrl+Shift：按住后 轻度/中度/重度 加速其他鼠标及键盘控制"),
    Texts::Mark("~ 1 2 3 4 5 6 7 8 9 0：速度为 5 10 20 30 40 50 60 80 100 120 0 千米/小时"),
};

constexpr std::array<const char*, QuickHelpLineCount> TrackReplayLines = {
    Texts::Mark("鼠标右击：菜单                                   鼠标双击：编辑当前位置或选项"),
    Texts::Mark("鼠标滚轮转动：快进/快退                  鼠标滚轮点击：暂停"),
    Texts::Mark("鼠标左键+滚轮：加/减速度（M模式）或速度比例（S模式）"),
    Texts::Mark("鼠标右键+滚轮：视光标所在位置，改变速度（速度比例）、偏移、段、点"),
    Texts::Mark("上/下箭头：加/减速度（M模式）或速度比例（S模式）"),
    Texts::Mark("Esc：停止         F1：帮助                      F2：运行       空格：暂停"),
    Texts::Mark("OZI中双击地图：跳跃至离双击点最近的航迹     D：打开/关闭地图"),
    Texts::Mark("A 或 L：向左跳跃 1 步                          S 或 分号：向右跳跃 1 步"),
    Texts::Mark("Enter：快速帮助                                    Ctrl+1～0：跳至收藏点1～10最近的航迹"),
    Texts::Mark("Ctrl/Shift/Ctrl+Shift：按住后 轻度/中度/重度 加速其他鼠标及键盘控制"),
    Texts::Mark("~ 1 2 3 4 5 6 7 8 9 0：速度为 5 10 20 30 40 50 60 80 100 120 0 Km/h（M模式）"),
    Texts::Mark("~ 1 2 3 4 5 6 7 8 9 0：速度比例为 0.2 0.3 0.5 0.75 1 1.5  2  3  5 10 0（S模式）"),
    "",
    Texts::Mark("方向盘按钮：自由驾驶模式                   P/M/S按钮：航迹重播P/M/S模式"),
    "",
};

constexpr const char* HelpTitles[] = {Texts::Mark("快速帮助 - 自由驾驶模式"), Texts::Mark("快速帮助 - 航迹重播模式")};

struct ToolTipRow {
    int Control;
    const char* Text;
};

// ToolTipTable of the panel's controls.
constexpr ToolTipRow ToolTipTable[] = {
    {1054, Texts::Mark("切换为自由驾驶模式")},
    {1057, Texts::Mark("切换为逐点重播航迹模式")},
    {1058, Texts::Mark("切换为手控速度航迹模式")},
    {1059, Texts::Mark("切换为比例速度航迹模式")},
    {1055, Texts::Mark("在不循环、航迹文件循环、航迹段内循环间转换")},
    {1056, Texts::Mark("选择正序或反序播放航迹")},
    {1049, Texts::Mark("载入航迹文件")},
    {1000, Texts::Mark("启动")},
    {1002, Texts::Mark("暂停")},
    {1001, Texts::Mark("停止")},
    {57670, Texts::Mark("帮助。提示：右击面板调出菜单")},
};

}  // namespace

const std::array<const char*, QuickHelpLineCount>& QuickHelpLines(int helpSet)
{
    return helpSet == 1 ? TrackReplayLines : FreeDrivingLines;
}

const char* QuickHelpTitle(int helpSet) { return HelpTitles[helpSet == 1 ? 1 : 0]; }

const char* ToolTipText(int controlId)
{
    for (const ToolTipRow& row : ToolTipTable)
        if (row.Control == controlId) return row.Text;
    return nullptr;
}

}  // namespace tolvex
