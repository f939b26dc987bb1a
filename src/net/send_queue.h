#pragma once
// The bytes queued for one TCP peer: whole sentences appended, sent as far as the socket takes
// them without blocking. Bounded, so a peer that stops reading costs a fixed amount of memory.

#include <cstddef>
#include <string>

namespace tolvex {

inline constexpr std::size_t PeerQueueLimit = 64 * 1024;

class SendQueue {
public:
    explicit SendQueue(std::size_t limit = PeerQueueLimit) : m_limit(limit) {}

    // False, leaving the queue as it was, when the bytes would take it over its limit.
    bool Append(const char* bytes, std::size_t length);
    std::size_t Pending() const { return m_data.size() - m_sent; }
    void Clear();

    enum class Flush { Done, Pending, Failed };
    // Sends what the socket takes now; Failed when the peer is gone.
    Flush SendTo(int fd);
    // Sends the bytes after what is already queued, straight from the caller's buffer when nothing
    // is, and queues the part the socket does not take now. False when the peer is gone or the
    // queue would pass its limit.
    bool Push(int fd, const char* bytes, std::size_t length);

private:
    std::string m_data;
    std::size_t m_sent = 0;
    std::size_t m_limit;
};

// Reads and throws away whatever the peer sent; false when the peer closed or failed.
bool DiscardInput(int fd);

}  // namespace tolvex
