#pragma once
// The texts the serial and virtual ports show the user; printf formats.

#include <string>

#include "sim/texts.h"

namespace tolvex {

inline constexpr const char* ErrorCaption = Texts::Mark("错误");
inline constexpr const char* WarningCaption = Texts::Mark("警告");

inline constexpr const char* CannotOpenPortText = Texts::Mark("无法打开串口 %s ");
inline constexpr const char* VirtualPortDriverMissingText = Texts::Mark("无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装 ");
inline constexpr const char* VirtualPortObjectFailedText = Texts::Mark("创建虚拟串口对象失败 ");
inline constexpr const char* CannotCreateVirtualPortText = Texts::Mark("无法创建虚拟串口 %s ");
// The port's number, the path of its link, the number again.
inline constexpr const char* VirtualPortInUseText =
    Texts::Mark("Tolvex无法删除虚拟串口COM%d的链接：\n%s\n请在其他软件中关闭正在使用的COM%d，\n并手动删除该链接。 ");

// A port text with the system's reason behind it: "无法打开串口 COM3 (/dev/ttyS2: No such file or
// directory)". The texts end in a space of their own; the cause takes its place.
inline std::string WithCause(std::string text, const std::string& cause)
{
    if (cause.empty()) return text;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + " (" + cause + ")";
}

}  // namespace tolvex
