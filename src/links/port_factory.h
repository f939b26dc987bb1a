#pragma once
// OpenSerialPort on Linux: real devices through termios, virtual COM ports through pseudo-terminals.

#include <memory>
#include <string>

#include "links/serial_port.h"
#include "links/virtual_port_table.h"

namespace tolvex {

class SystemPortFactory final : public PortFactory {
public:
    // The folder of the virtual port links; empty gives DefaultVirtualPortDir(). terminalGroup is
    // VirtualPortGroup (empty: owner-only terminals). The factory must outlive the ports it opens.
    explicit SystemPortFactory(const std::string& virtualPortDir, const std::string& terminalGroup = {});

    std::unique_ptr<SerialPort> Open(const SerialPortRequest& request, Host& host) override;
    void RemoveLeftoverPorts(Host& host) override;

    VirtualPortTable& VirtualPorts() { return m_table; }

private:
    VirtualPortTable m_table;
};

// OpenVirtualPort: reuses a port still in the table (its removal failed earlier) without a word,
// else creates one, showing the failure through the host. Null on failure.
std::unique_ptr<SerialPort> OpenVirtualPort(VirtualPortTable& table, int number, Host& host);

}  // namespace tolvex
