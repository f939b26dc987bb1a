#pragma once
// The texts the serial and virtual ports show the user; printf formats.

namespace tolvex {

inline constexpr char ErrorCaption[] = "错误";
inline constexpr char WarningCaption[] = "警告";

inline constexpr char CannotOpenPortText[] = "无法打开串口 %s ";
inline constexpr char VirtualPortDriverMissingText[] = "无法创建虚拟串口对象，请确认虚拟串口控件及驱动已正确安装 ";
inline constexpr char VirtualPortObjectFailedText[] = "创建虚拟串口对象失败 ";
inline constexpr char CannotCreateVirtualPortText[] = "无法创建虚拟串口 %s ";
// Why the virtual-port folder is refused; %s is the folder, a second %s the system's reason.
inline constexpr char VirtualPortFolderMissingText[] = "无法创建虚拟串口目录 %s ：%s";
inline constexpr char VirtualPortFolderIsLinkText[] = "虚拟串口目录 %s 是符号链接，已拒绝使用";
inline constexpr char VirtualPortFolderNotFolderText[] = "虚拟串口目录 %s 不是目录";
inline constexpr char VirtualPortFolderNotOursText[] = "虚拟串口目录 %s 不属于当前用户，已拒绝使用";
inline constexpr char VirtualPortFolderOpenText[] = "虚拟串口目录 %s 可被其他用户写入，且无法收紧权限：%s";
// The port's number, the path of its link, the number again.
inline constexpr char VirtualPortInUseText[] =
    "Tolvex无法删除虚拟串口COM%d的链接：\n%s\n请在其他软件中关闭正在使用的COM%d，\n并手动删除该链接。 ";

}  // namespace tolvex
