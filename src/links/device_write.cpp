#include "links/device_write.h"

#include <poll.h>
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

WriteResult WriteWithin(int fd, const char* bytes, std::size_t length, std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Any other failure loses the sentence but the device may still be there.
            return MeansDeviceGone(errno) ? WriteResult::DeviceGone : WriteResult::TimedOut;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return WriteResult::TimedOut;
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return WriteResult::TimedOut;
        if (ready == 0) return WriteResult::TimedOut;
        if ((p.revents & (POLLERR | POLLNVAL)) != 0 || ((p.revents & POLLHUP) != 0 && (p.revents & POLLOUT) == 0)) {
            return WriteResult::DeviceGone;
        }
    }
    return WriteResult::Written;
}

}  // namespace tolvex
