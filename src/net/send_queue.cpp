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

SendQueue::Flush SendQueue::SendTo(int fd)
{
    while (Pending() > 0) {
        const ssize_t n = ::send(fd, m_data.data() + m_sent, Pending(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            m_sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Keep the buffer from creeping: drop what went out once it is the larger part.
            if (m_sent > m_data.size() / 2) {
                m_data.erase(0, m_sent);
                m_sent = 0;
            }
            return Flush::Pending;
        }
        return Flush::Failed;
    }
    Clear();
    return Flush::Done;
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
