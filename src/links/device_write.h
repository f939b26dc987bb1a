#pragma once
// Bounded writes to a non-blocking device: the 20 ms tick must never hang on a stalled port.

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "links/serial_port.h"

namespace tolvex {

inline constexpr std::chrono::milliseconds WriteTimeLimit{1000};

// Errors after which the device will never take another byte (adapter pulled, pty hung up).
bool MeansDeviceGone(int error);

// Sentences on their way to a non-blocking device, written without ever waiting: what the device
// does not take at once waits here and goes out first at the next write, so a stalled device
// delays only its own output. A sentence is sent whole or not at all: one begun is always
// finished, one not begun within the limit is dropped.
class SentenceQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Queues the sentence and sends what the device takes now, oldest first. Written: the
    // sentence went out or waits within the limit; TimedOut: a sentence was dropped.
    WriteResult Write(int fd, std::string_view sentence, Clock::time_point now, std::chrono::milliseconds limit);
    // Sends what the device takes now.
    WriteResult Flush(int fd, Clock::time_point now, std::chrono::milliseconds limit);
    // Drops the sentences not begun; the one begun stays to be finished.
    void DropWaiting();
    void Clear() { m_entries.clear(); m_bytes = 0; }
    bool Empty() const { return m_entries.empty(); }

private:
    struct Entry {
        Clock::time_point Queued;
        std::string Text;
        std::size_t Sent = 0;
    };
    std::deque<Entry> m_entries;
    std::size_t m_bytes = 0;
};

}  // namespace tolvex
