#include "net/udp_port.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvex {

std::unique_ptr<UdpPort> UdpPort::Open(const NetEndpoint& endpoint, std::string& error)
{
    const auto addresses = ResolveEndpoint(endpoint.Host, endpoint.Port, SOCK_DGRAM, false, error);
    if (addresses.empty()) return nullptr;
    const ResolvedAddress& target = addresses.front();
    const int fd = ::socket(target.Family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    const int one = 1;
    // Broadcast addresses need the permission; it changes nothing for the others.
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (IsMulticastAddress(reinterpret_cast<const sockaddr*>(&target.Address))) {
        const int hops = endpoint.Ttl;
        const int status = target.Family == AF_INET6
                               ? ::setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops)
                               : ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
        if (status != 0) {
            error = std::strerror(errno);
            ::close(fd);
            return nullptr;
        }
    }
    return std::unique_ptr<UdpPort>(new UdpPort(fd, target));
}

UdpPort::UdpPort(int fd, const ResolvedAddress& target) : m_fd(fd), m_target(target) {}

UdpPort::~UdpPort() { Close(); }

std::string UdpPort::Describe() const
{
    return "UDP " + FormatSocketAddress(reinterpret_cast<const sockaddr*>(&m_target.Address), m_target.Length) +
           " sending";
}

std::string UdpPort::NetworkLabel() const
{
    return "UDP " + FormatSocketAddress(reinterpret_cast<const sockaddr*>(&m_target.Address), m_target.Length);
}

WriteResult UdpPort::Write(const char* bytes, std::size_t length)
{
    if (m_fd < 0) return WriteResult::DeviceGone;
    // Unconnected, so an ICMP "port unreachable" from an absent listener never fails later sends.
    ::sendto(m_fd, bytes, length, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&m_target.Address),
             m_target.Length);
    return WriteResult::Written;
}

void UdpPort::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace tolvex
