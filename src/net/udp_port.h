#pragma once
// "udp:": one datagram per sentence, CR LF included, to a host, a broadcast or a multicast group
// (multicast with the endpoint's hop limit, 1 unless it says otherwise). Nothing is queued: a
// datagram the socket cannot take at once is dropped.

#include <memory>
#include <string>

#include "links/serial_port.h"
#include "net/net_address.h"

namespace tolvex {

class UdpPort final : public SerialPort {
public:
    // Resolves the host and makes the socket; null with the system's reason in error.
    static std::unique_ptr<UdpPort> Open(const NetEndpoint& endpoint, std::string& error);
    ~UdpPort() override;

    int Number() const override { return 0; }
    bool IsVirtual() const override { return false; }
    std::string Describe() const override;  // "UDP 127.0.0.1:10110 sending"
    WriteResult Write(const char* bytes, std::size_t length) override;
    void Close() override;
    bool IsPeerOpen() override { return m_fd >= 0; }
    std::string NetworkLabel() const override;

private:
    UdpPort(int fd, const ResolvedAddress& target);

    int m_fd;
    ResolvedAddress m_target;
};

}  // namespace tolvex
