#pragma once
// The texts the serial and virtual ports show the user; printf formats.

namespace tolvex {

inline constexpr char ErrorCaption[] = "错误";
inline constexpr char WarningCaption[] = "警告";

inline constexpr char CannotOpenPortText[] = "无法打开串口 %s ";
inline constexpr char VirtualPortDriverMissingText[] = "无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装 ";
inline constexpr char VirtualPortObjectFailedText[] = "创建虚拟串口对象失败 ";
inline constexpr char CannotCreateVirtualPortText[] = "无法创建虚拟串口 %s ";
// The port's number, the path of its link, the number again.
inline constexpr char VirtualPortInUseText[] =
    "Tolvex无法删除虚拟串口COM%d的链接：\n%s\n请在其他软件中关闭正在使用的COM%d，\n并手动删除该链接。 ";

}  // namespace tolvex
