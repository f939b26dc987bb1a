#include "links/device_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tolvex {
namespace {

using namespace std::chrono_literals;

struct Pipe {
    int Read = -1;
    int Write = -1;
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            Read = fds[0];
            Write = fds[1];
        }
    }
    ~Pipe()
    {
        if (Read >= 0) ::close(Read);
        if (Write >= 0) ::close(Write);
    }
    void Fill()
    {
        const std::string block(4096, 'x');
        while (::write(Write, block.data(), block.size()) > 0) {}
    }
};

using Clock = SentenceQueue::Clock;

TEST(SentenceQueue, RoomForAllWritesEverythingAtOnce)
{
    Pipe pipe;
    SentenceQueue queue;
    const std::string line = "$GPRMC,\r\n";
    EXPECT_EQ(queue.Write(pipe.Write, line, Clock::now(), 1000ms), WriteResult::Written);
    EXPECT_TRUE(queue.Empty());
    char got[32] = {};
    EXPECT_EQ(::read(pipe.Read, got, sizeof got), static_cast<ssize_t>(line.size()));
    EXPECT_EQ(std::string(got), line);
}

TEST(SentenceQueue, AStalledDeviceDelaysOnlyItsOwnSentencesAndCutsNone)
{
    Pipe pipe;
    SentenceQueue queue;
    const Clock::time_point start = Clock::now();
    const std::string first(70000, 'a');  // more than the pipe holds: begun, not finished
    EXPECT_EQ(queue.Write(pipe.Write, first, start, 1000ms), WriteResult::Written);
    EXPECT_FALSE(queue.Empty());
    EXPECT_EQ(queue.Write(pipe.Write, "$SECOND\r\n", start + 100ms, 1000ms), WriteResult::Written);
    // The second waited beyond the limit without being begun: dropped whole.
    EXPECT_EQ(queue.Write(pipe.Write, "$THIRD\r\n", start + 1200ms, 1000ms), WriteResult::TimedOut);

    // The reader drains; the next write finishes the first sentence and sends the rest.
    std::string got;
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe.Read, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(queue.Write(pipe.Write, "$FOURTH\r\n", start + 1250ms, 1000ms), WriteResult::Written);
    for (ssize_t n; (n = ::read(pipe.Read, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(got.size(), first.size() + 17);
    EXPECT_TRUE(got == first + "$THIRD\r\n$FOURTH\r\n");
    EXPECT_TRUE(queue.Empty());
}

TEST(SentenceQueue, ClosedDescriptorMeansTheDeviceIsGone)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::close(fds[1]);
    SentenceQueue queue;
    EXPECT_EQ(queue.Write(fds[1], "x", Clock::now(), 100ms), WriteResult::DeviceGone);
}

TEST(MeansDeviceGone, OnlyVanishingErrors)
{
    for (int error : {EIO, ENXIO, ENODEV, EBADF}) EXPECT_TRUE(MeansDeviceGone(error)) << error;
    for (int error : {EAGAIN, EINTR, ENOSPC, EINVAL}) EXPECT_FALSE(MeansDeviceGone(error)) << error;
}

}  // namespace
}  // namespace tolvex
