#include "net/tcp_client_port.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include "sim/texts.h"

namespace tolvex {

std::unique_ptr<TcpClientPort> TcpClientPort::Open(const NetEndpoint& endpoint, std::string& error, SteadyNow now)
{
    auto addresses = ResolveEndpoint(endpoint.Host, endpoint.Port, SOCK_STREAM, false, error);
    if (addresses.empty()) return nullptr;
    if (!now) now = [] { return std::chrono::steady_clock::now(); };
    std::unique_ptr<TcpClientPort> port(new TcpClientPort(std::move(addresses), std::move(now)));
    port->Attempt();
    return port;
}

TcpClientPort::TcpClientPort(std::vector<ResolvedAddress> addresses, SteadyNow now)
    : m_addresses(std::move(addresses)), m_now(std::move(now))
{
}

TcpClientPort::~TcpClientPort() { Close(); }

std::string TcpClientPort::Describe() const
{
    const ResolvedAddress& a = m_addresses.front();
    return "TCP " + FormatSocketAddress(reinterpret_cast<const sockaddr*>(&a.Address), a.Length) + " client";
}

std::string TcpClientPort::NetworkLabel() const
{
    const ResolvedAddress& a = m_addresses.front();
    return Texts::tr("TCP客户端 ") + FormatSocketAddress(reinterpret_cast<const sockaddr*>(&a.Address), a.Length);
}

void TcpClientPort::Attempt()
{
    const ResolvedAddress& a = m_addresses[m_next];
    m_next = (m_next + 1) % m_addresses.size();  // a name with several addresses tries each in turn
    m_fd = ::socket(a.Family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        Disconnect();
        return;
    }
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&a.Address), a.Length) == 0) {
        m_state = State::Connected;
        m_delay = FirstRetryDelay;
        return;
    }
    if (errno != EINPROGRESS) {
        Disconnect();
        return;
    }
    m_state = State::Connecting;
    m_deadline = m_now() + ConnectTimeLimit;
}

void TcpClientPort::Disconnect()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_queue.Clear();
    m_state = State::Waiting;
    m_deadline = m_now() + m_delay;
    m_delay = std::min<std::chrono::steady_clock::duration>(m_delay * 2, LongestRetryDelay);
}

WriteResult TcpClientPort::Write(const char* bytes, std::size_t length)
{
    // A peer that reads too slowly loses whole sentences, never a part of one.
    if (m_state == State::Connected) m_queue.Append(bytes, length);
    return m_state == State::Closed ? WriteResult::DeviceGone : WriteResult::Written;
}

void TcpClientPort::Service()
{
    switch (m_state) {
    case State::Closed:
        return;
    case State::Waiting:
        if (m_now() >= m_deadline) Attempt();
        return;
    case State::Connecting: {
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 0) == 1) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0) {
                Disconnect();
            } else {
                m_state = State::Connected;
                m_delay = FirstRetryDelay;
            }
        } else if (m_now() >= m_deadline) {
            Disconnect();
        }
        return;
    }
    case State::Connected:
        if (!DiscardInput(m_fd) || (m_queue.Pending() > 0 && m_queue.SendTo(m_fd) == SendQueue::Flush::Failed))
            Disconnect();
        return;
    }
}

void TcpClientPort::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_state = State::Closed;
}

}  // namespace tolvex
