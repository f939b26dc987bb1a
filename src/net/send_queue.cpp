#include "net/send_queue.h"

#include <sys/socket.h>

#include <cerrno>

namespace tolvex {

bool SendQueue::Append(const char* bytes, std::size_t length)
{
    if (Pending() + length > m_limit) return false;
    if (m_sent > 0 && m_sent == m_data.size()) Clear();
    m_data.append(bytes, length);
    return true;
}

void SendQueue::Clear()
{
    m_data.clear();
    m_sent = 0;
}

namespace {

// Sends from bytes + sent on until the socket takes no more; sent moves on by what went out.
SendQueue::Flush SendSome(int fd, const char* bytes, std::size_t length, std::size_t& sent)
{
    while (sent < length) {
        const ssize_t n = ::send(fd, bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return SendQueue::Flush::Pending;
        return SendQueue::Flush::Failed;
    }
    return SendQueue::Flush::Done;
}

}  // namespace

SendQueue::Flush SendQueue::SendTo(int fd)
{
    const Flush result = SendSome(fd, m_data.data(), m_data.size(), m_sent);
    if (result == Flush::Done) Clear();
    // Keep the buffer from creeping: drop what went out once it is the larger part.
    if (result == Flush::Pending && m_sent > m_data.size() / 2) {
        m_data.erase(0, m_sent);
        m_sent = 0;
    }
    return result;
}

bool SendQueue::Push(int fd, const char* bytes, std::size_t length)
{
    if (Pending() > 0 && SendTo(fd) == Flush::Failed) return false;
    std::size_t sent = 0;
    if (Pending() == 0 && SendSome(fd, bytes, length, sent) == Flush::Failed) return false;
    return sent == length || Append(bytes + sent, length - sent);
}

bool DiscardInput(int fd)
{
    char sink[4096];
    // Bounded, so a peer that floods us cannot hold the tick.
    for (int round = 0; round < 16; ++round) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    return true;
}

}  // namespace tolvex
