#pragma once
// Quick help's two pages of fifteen lines, the panel's tool tips and the about box.

#include <array>

#include "sim/texts.h"

namespace tolvex {

inline constexpr int QuickHelpLineCount = 15;
inline constexpr int QuickHelpFirstControl = 1065;  // lines go to 1065..1079
inline constexpr int QuickHelpSwitchButton = 1080;  // "切换页"
inline constexpr const char* QuickHelpSwitchText = Texts::Mark("切换页");

// HelpSet 0 is free driving, 1 track replay; other values read as 0.
const std::array<const char*, QuickHelpLineCount>& QuickHelpLines(int helpSet);
const char* QuickHelpTitle(int helpSet);

// The quick-help window's state: at most one exists.
struct QuickHelpState {
    bool Open = false;  // QuickHelpOpen
    int HelpSet = 0;
};

// The tool-tip text of a control of the panel; null when it has none.
const char* ToolTipText(int controlId);
inline constexpr int ToolTipBufferChars = 80;

namespace About {
inline constexpr int SystemCommand = 0x0010;
inline constexpr const char* MenuText = Texts::Mark("关于 Tolvex(&A)...");
inline constexpr const char* Title = Texts::Mark("关于 Tolvex GPS 模拟器");
inline constexpr const char* Name = Texts::Mark("Tolvex GPS 模拟器 V0.3.1");
inline constexpr const char* BuildDate = "2009.6.7";
inline constexpr const char* Hint = Texts::Mark("提示：右击主面板调出菜单");
inline constexpr const char* Ok = Texts::Mark("确定");
}  // namespace About

// A system command is the about command when its id without the low four bits is 0x0010.
constexpr bool IsAboutCommand(unsigned id) { return (id & 0xFFF0u) == static_cast<unsigned>(About::SystemCommand); }

}  // namespace tolvex
