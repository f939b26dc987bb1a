#include "net/tcp_server_port.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "net/announcer.h"
#include "sim/texts.h"

namespace tolvex {
namespace {

// The kernel's own buffer for a client is kept small, so that a client that stops reading shows
// in our queue within seconds rather than after megabytes.
constexpr int ClientSendBuffer = 16 * 1024;

// The epoll tag of the listening socket; clients are tagged with their descriptor.
constexpr std::uint64_t ListenMark = ~std::uint64_t{0};

void SetOption(int fd, int level, int name, int value) { ::setsockopt(fd, level, name, &value, sizeof value); }

}  // namespace

std::unique_ptr<TcpServerPort> TcpServerPort::Open(const NetEndpoint& endpoint, std::string& error)
{
    const auto addresses = ResolveEndpoint(endpoint.Host, endpoint.Port, SOCK_STREAM, true, error);
    if (addresses.empty()) return nullptr;
    // The first address that binds serves: a name may resolve to both families.
    for (const ResolvedAddress& a : addresses) {
        const int fd = ::socket(a.Family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::strerror(errno);
            continue;
        }
        // A restart right after a stop must not wait for the old connections' TIME_WAIT.
        SetOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
        // A long backlog: clients are taken only between ticks, and a burst of them must not be refused.
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&a.Address), a.Length) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            error = std::strerror(errno);
            ::close(fd);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
        const int port = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                                     : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        const int pollFd = ::epoll_create1(EPOLL_CLOEXEC);
        if (pollFd < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return nullptr;
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = ListenMark;
        ::epoll_ctl(pollFd, EPOLL_CTL_ADD, fd, &event);
        std::unique_ptr<TcpServerPort> server(
            new TcpServerPort(fd, pollFd, FormatSocketAddress(reinterpret_cast<sockaddr*>(&bound), length), port,
                              IsLoopbackAddress(reinterpret_cast<sockaddr*>(&bound))));
        server->SetMaxClients(endpoint.MaxClients);
        return server;
    }
    return nullptr;
}

TcpServerPort::TcpServerPort(int listenFd, int pollFd, std::string bound, int port, bool loopback)
    : m_listenFd(listenFd), m_pollFd(pollFd), m_bound(std::move(bound)), m_port(port), m_loopback(loopback)
{
}

TcpServerPort::~TcpServerPort() { Close(); }

void TcpServerPort::SetAnnouncer(std::unique_ptr<Announcer> announcer) { m_announcer = std::move(announcer); }

std::string TcpServerPort::Describe() const { return "TCP " + m_bound + " listening"; }

std::string TcpServerPort::NetworkLabel() const { return Texts::tr("TCP服务器 ") + m_bound; }

// The sentences of a tick are gathered into one group and sent to every client at once in
// Service: one send a client rather than one copy a client and sentence.
WriteResult TcpServerPort::Write(const char* bytes, std::size_t length)
{
    if (m_listenFd < 0) return WriteResult::DeviceGone;
    if (m_clients.empty()) return WriteResult::Written;  // a client that comes later gets no backlog
    if (m_group.size() + length > PeerQueueLimit) SendGroup();
    m_group.append(bytes, length);
    return WriteResult::Written;
}

void TcpServerPort::SendGroup()
{
    if (m_group.empty()) return;
    for (std::size_t i = 0; i < m_clients.size();) {
        Client& client = *m_clients[i];
        if (client.Queue.Push(client.Fd, m_group.data(), m_group.size())) {
            ++i;
        } else {
            DropClient(i);  // gone, or stopped reading: waiting for it would cost the others their cadence
        }
    }
    m_group.clear();
}

void TcpServerPort::DropClient(std::size_t index)
{
    ::close(m_clients[index]->Fd);  // closing also takes it out of the epoll set
    m_clients[index] = std::move(m_clients.back());
    m_clients.pop_back();
}

void TcpServerPort::AcceptClients()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN, or out of descriptors: the rest wait in the backlog
        }
        if (static_cast<int>(m_clients.size()) >= m_maxClients) {
            ::close(fd);  // a clear end rather than a silent wait in the backlog
            continue;
        }
        SetOption(fd, SOL_SOCKET, SO_SNDBUF, ClientSendBuffer);
        SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
        auto client = std::make_unique<Client>();
        client->Fd = fd;
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.u64 = static_cast<std::uint64_t>(fd);
        ::epoll_ctl(m_pollFd, EPOLL_CTL_ADD, fd, &event);
        m_clients.push_back(std::move(client));
    }
}

void TcpServerPort::Service()
{
    if (m_listenFd < 0) return;
    // The group first: accepting and reading can wait, the clients' cadence cannot.
    SendGroup();
    epoll_event events[64];
    // Bounded rounds: a flood of events waits for the next tick rather than holding this one.
    for (int round = 0; round < 8; ++round) {
        const int n = ::epoll_wait(m_pollFd, events, 64, 0);
        if (n <= 0) break;
        for (int e = 0; e < n; ++e) {
            if (events[e].data.u64 == ListenMark) {
                AcceptClients();
                continue;
            }
            const int fd = static_cast<int>(events[e].data.u64);
            const auto at = std::find_if(m_clients.begin(), m_clients.end(), [fd](const auto& c) { return c->Fd == fd; });
            if (at == m_clients.end()) continue;
            const bool gone = (events[e].events & (EPOLLERR | EPOLLHUP)) != 0 || !DiscardInput(fd);
            if (gone) DropClient(static_cast<std::size_t>(at - m_clients.begin()));
        }
        if (n < 64) break;
    }
    for (std::size_t i = 0; i < m_clients.size();) {
        Client& client = *m_clients[i];
        if (client.Queue.Pending() > 0 && client.Queue.SendTo(client.Fd) == SendQueue::Flush::Failed) {
            DropClient(i);
        } else {
            ++i;
        }
    }
    if (m_announcer) m_announcer->Service();
}

void TcpServerPort::Close()
{
    m_announcer.reset();
    for (auto& client : m_clients) ::close(client->Fd);
    m_clients.clear();
    m_group.clear();
    if (m_listenFd >= 0) ::close(m_listenFd);
    if (m_pollFd >= 0) ::close(m_pollFd);
    m_listenFd = -1;
    m_pollFd = -1;
}

}  // namespace tolvex
