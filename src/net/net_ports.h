#pragma once
// OpenSerialPort for network outputs: the target of Output%dNet becomes a TCP server, a TCP client
// or a UDP sender. A failure is shown through the host with the system's reason.

#include <memory>
#include <string>

#include "links/serial_port.h"
#include "sim/texts.h"

namespace tolvex {

inline constexpr const char* CannotOpenNetPortText = Texts::Mark("无法打开网络端口 %s：%s");
inline constexpr const char* NetPortClashText = Texts::Mark("输出%d与输出%d均监听TCP端口%d，无法启动输出%d ");

// Null after the message when the target is malformed, the name does not resolve or the socket
// cannot be bound. A server not bound to loopback is announced on the local network.
std::unique_ptr<SerialPort> OpenNetworkPort(const std::string& target, Host& host);

// The TCP port a "tcp-listen:" target listens on; 0 for any other target or when the system picks it.
int ListeningPortOf(const std::string& target);

}  // namespace tolvex
