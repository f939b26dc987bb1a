#include "links/device_write.h"

#include <unistd.h>

#include <cerrno>

namespace tolvex {

bool MeansDeviceGone(int error)
{
    switch (error) {
        case EIO:
        case ENXIO:
        case ENODEV:
        case EBADF:
        case EPIPE:
        case ENOENT:
            return true;
        default:
            return false;
    }
}

namespace {

// More than a second of sentences at any rate we send: beyond it the oldest waiting go.
constexpr std::size_t MaxQueuedBytes = 16 * 1024;

}  // namespace

WriteResult SentenceQueue::Write(int fd, std::string_view sentence, Clock::time_point now,
                                 std::chrono::milliseconds limit)
{
    bool dropped = false;
    auto waiting = [this] { return m_bytes - (!m_entries.empty() && m_entries.front().Sent > 0 ? m_entries.front().Text.size() : 0); };
    while (!m_entries.empty() && waiting() + sentence.size() > MaxQueuedBytes && m_entries.back().Sent == 0) {
        m_bytes -= m_entries.back().Text.size();
        m_entries.pop_back();
        dropped = true;
    }
    m_entries.push_back(Entry{now, std::string(sentence), 0});
    m_bytes += sentence.size();
    const WriteResult result = Flush(fd, now, limit);
    return dropped && result == WriteResult::Written ? WriteResult::TimedOut : result;
}

WriteResult SentenceQueue::Flush(int fd, Clock::time_point now, std::chrono::milliseconds limit)
{
    bool dropped = false;
    auto pop = [this] {
        m_bytes -= m_entries.front().Text.size();
        m_entries.pop_front();
    };
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->Sent == 0 && now - it->Queued > limit) {
            m_bytes -= it->Text.size();
            it = m_entries.erase(it);
            dropped = true;
        } else {
            ++it;
        }
    }
    while (!m_entries.empty()) {
        Entry& e = m_entries.front();
        const ssize_t n = ::write(fd, e.Text.data() + e.Sent, e.Text.size() - e.Sent);
        if (n > 0) {
            e.Sent += static_cast<std::size_t>(n);
            if (e.Sent == e.Text.size()) pop();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (MeansDeviceGone(errno)) return WriteResult::DeviceGone;
            // Any other failure loses the sentence but the device may still be there.
            if (e.Sent == 0) {
                pop();
                dropped = true;
                continue;
            }
        }
        break;  // no room now: the rest waits for the next write
    }
    return dropped ? WriteResult::TimedOut : WriteResult::Written;
}

void SentenceQueue::DropWaiting()
{
    while (!m_entries.empty() && m_entries.back().Sent == 0) {
        m_bytes -= m_entries.back().Text.size();
        m_entries.pop_back();
    }
}

}  // namespace tolvex
