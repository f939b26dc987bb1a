#include "links/port_factory.h"

#include <cstdio>

#include "links/port_messages.h"
#include "links/real_serial_port.h"
#include "net/net_ports.h"
#include "sim/host.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

class VirtualSerialPort final : public SerialPort {
public:
    VirtualSerialPort(VirtualPortTable& table, int number) : m_table(table), m_nNumber(number) {}
    ~VirtualSerialPort() override { Close(); }

    int Number() const override { return m_nNumber; }
    bool IsVirtual() const override { return true; }

    std::string Describe() const override
    {
        return ComName(m_nNumber) + " " + m_table.LinkPath(m_nNumber) + " -> " + m_table.DevicePath(m_nNumber);
    }

    WriteResult Write(const char* bytes, std::size_t length) override
    {
        if (m_closed) return WriteResult::DeviceGone;
        m_table.WriteData(m_nNumber, bytes, length);
        return WriteResult::Written;
    }

    // CloseVirtualPort: a port still held by a reader, or one whose removal failed, stays in its
    // slot for the next start to reuse; the close of the program removes it.
    void Close() override
    {
        if (m_closed) return;
        m_closed = true;
        m_table.ReleasePort(m_nNumber);
    }

    bool IsPeerOpen() override { return !m_closed && m_table.IsPeerOpen(m_nNumber); }

private:
    VirtualPortTable& m_table;
    int m_nNumber;
    bool m_closed = false;
};

// The window's texts, each followed by the cause in the system's words.
void ShowCreateFailure(CreatePortError error, int number, const std::string& cause, Host& host)
{
    char text[160];
    switch (error) {
        case CreatePortError::NoPtySupport:
            std::snprintf(text, sizeof text, "%s", Texts::tr(VirtualPortDriverMissingText).c_str());
            break;
        case CreatePortError::PtyFailed:
            std::snprintf(text, sizeof text, "%s", Texts::tr(VirtualPortObjectFailedText).c_str());
            break;
        default:
            std::snprintf(text, sizeof text, Texts::tr(CannotCreateVirtualPortText).c_str(), ComName(number).c_str());
            break;
    }
    host.ShowMessage(WithCause(text, cause), Texts::tr(ErrorCaption), MessageIcon::Error);
}

}  // namespace

std::unique_ptr<SerialPort> OpenVirtualPort(VirtualPortTable& table, int number, Host& host)
{
    if (!table.HasPort(number)) {
        std::string cause;
        const CreatePortError error = table.CreatePort(number, &cause);
        if (error != CreatePortError::None) {
            ShowCreateFailure(error, number, cause, host);
            return nullptr;
        }
    }
    return std::make_unique<VirtualSerialPort>(table, number);
}

std::unique_ptr<SerialPort> PortFactory::OpenNetwork(const std::string& target, Host& host)
{
    return OpenNetworkPort(target, host);
}

SystemPortFactory::SystemPortFactory(const std::string& virtualPortDir, const std::string& terminalGroup)
    : m_table(virtualPortDir.empty() ? DefaultVirtualPortDir() : virtualPortDir, terminalGroup)
{
}

std::unique_ptr<SerialPort> SystemPortFactory::Open(const SerialPortRequest& request, Host& host)
{
    if (request.Virtual) return OpenVirtualPort(m_table, request.Number, host);
    return RealSerialPort::Open(request, host);
}

void SystemPortFactory::RemoveLeftoverPorts(Host& host)
{
    for (int n = 1; n <= VirtualPortTable::SlotCount; ++n) {
        if (!m_table.HasPort(n) || m_table.RemovePort(n)) continue;
        char text[4400];
        std::snprintf(text, sizeof text, Texts::tr(VirtualPortInUseText).c_str(), n, m_table.LinkPath(n).c_str(), n);
        host.ShowMessage(text, Texts::tr(WarningCaption), MessageIcon::Warning);
    }
}

}  // namespace tolvex
