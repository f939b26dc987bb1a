#pragma once
// The texts the serial and virtual ports show the user; printf formats.

namespace tolvex {

inline constexpr char ErrorCaption[] = "错误";
inline constexpr char WarningCaption[] = "警告";

inline constexpr char CannotOpenPortText[] = "无法打开串口 %s ";
inline constexpr char VirtualPortDriverMissingText[] = "无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装 ";
inline constexpr char VirtualPortObjectFailedText[] = "创建虚拟串口对象失败 ";
inline constexpr char CannotCreateVirtualPortText[] = "无法创建虚拟串口 %s ";
inline constexpr char VirtualPortInUseText[] =
    "因为其他软件正在使用虚拟串口COM%d，\n导致Tolvex无法删除虚拟串口COM%d。\n请在其他软件中关闭正在使用的COM%d，\n并运行虚拟串口附带的实用程序ResetBus.exe ";

}  // namespace tolvex
