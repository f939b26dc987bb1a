#pragma once
// Helpers of the port tests: scratch folders, a socat pty pair
// standing in for a serial device, and a reader of a virtual port.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testing/fakes.h"

namespace tolvex::testing {

class ScratchDir {
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/tolvex-links-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline bool WaitFor(const auto& condition, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Two linked pseudo-terminals: the port under test opens DeviceEnd, the test reads PeerEnd.
class SocatPair {
public:
    explicit SocatPair(const std::string& folder)
        : DeviceEnd(folder + "/device"), PeerEnd(folder + "/peer")
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            const std::string a = "pty,raw,echo=0,link=" + DeviceEnd;
            const std::string b = "pty,raw,echo=0,link=" + PeerEnd;
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execlp("socat", "socat", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        Ready = WaitFor([&] {
            struct stat st {};
            return ::stat(DeviceEnd.c_str(), &st) == 0 && ::stat(PeerEnd.c_str(), &st) == 0;
        });
    }
    ~SocatPair() { Kill(); }

    void Kill()
    {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::string DeviceEnd;
    std::string PeerEnd;
    bool Ready = false;

private:
    pid_t m_pid = -1;
};

// Reads what is available within the wait, then stops at the first quiet moment.
inline std::string ReadAvailable(int fd, std::chrono::milliseconds wait = std::chrono::milliseconds(200))
{
    std::string got;
    int timeout = static_cast<int>(wait.count());
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeout) <= 0 || (p.revents & POLLIN) == 0) return got;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return got;
        got.append(buffer, static_cast<std::size_t>(n));
        timeout = 50;
    }
}

// Reads until the text holds `count` bytes or the wait ends.
inline std::string ReadBytes(int fd, std::size_t count, std::chrono::milliseconds wait = std::chrono::seconds(5))
{
    std::string got;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        got += ReadAvailable(fd, std::chrono::milliseconds(100));
    }
    return got;
}

inline int OpenReader(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace tolvex::testing
