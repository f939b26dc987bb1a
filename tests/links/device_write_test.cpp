#include "links/device_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

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

TEST(WriteWithin, RoomForAllWritesEverything)
{
    Pipe pipe;
    const std::string line = "$GPRMC,\r\n";
    EXPECT_EQ(WriteWithin(pipe.Write, line.data(), line.size(), 1000ms), WriteResult::Written);
    char got[32] = {};
    EXPECT_EQ(::read(pipe.Read, got, sizeof got), static_cast<ssize_t>(line.size()));
    EXPECT_EQ(std::string(got), line);
}

TEST(WriteWithin, NoRoomWithinTheLimitTimesOut)
{
    Pipe pipe;
    pipe.Fill();
    const std::string line = "$GPRMC,\r\n";
    EXPECT_EQ(WriteWithin(pipe.Write, line.data(), line.size(), 30ms), WriteResult::TimedOut);
}

TEST(WriteWithin, WaitsForRoomThatAppearsInTime)
{
    Pipe pipe;
    const std::string big(256 * 1024, 'y');  // far more than the pipe holds
    std::size_t drained = 0;
    std::thread reader([&] {
        char buffer[8192];
        while (drained < big.size()) {
            const ssize_t n = ::read(pipe.Read, buffer, sizeof buffer);
            if (n > 0) drained += static_cast<std::size_t>(n);
            else std::this_thread::sleep_for(1ms);
        }
    });
    EXPECT_EQ(WriteWithin(pipe.Write, big.data(), big.size(), 5000ms), WriteResult::Written);
    reader.join();
    EXPECT_EQ(drained, big.size());
}

TEST(WriteWithin, ClosedDescriptorMeansTheDeviceIsGone)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(WriteWithin(fds[1], "x", 1, 100ms), WriteResult::DeviceGone);
}

TEST(MeansDeviceGone, OnlyVanishingErrors)
{
    for (int error : {EIO, ENXIO, ENODEV, EBADF}) EXPECT_TRUE(MeansDeviceGone(error)) << error;
    for (int error : {EAGAIN, EINTR, ENOSPC, EINVAL}) EXPECT_FALSE(MeansDeviceGone(error)) << error;
}

}  // namespace
}  // namespace tolvex
