#include "links/real_serial_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/settings.h"
#include "links/device_write.h"
#include "links/line_settings.h"
#include "links/port_messages.h"
#include "sim/host.h"
#include "sim/texts.h"

namespace tolvex {

std::string ComDevicePath(int number, const std::string& device)
{
    if (!device.empty()) return device;
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::string ComName(int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", number);
    return name;
}

std::unique_ptr<RealSerialPort> RealSerialPort::Open(const SerialPortRequest& request, Host& host)
{
    const std::string name = ComName(request.Number);
    const std::string path = ComDevicePath(request.Number, request.Device);
    const auto fail = [&](const std::string& cause, int fd = -1) -> std::unique_ptr<RealSerialPort> {
        if (fd >= 0) ::close(fd);
        char text[128];
        std::snprintf(text, sizeof text, Texts::tr(CannotOpenPortText).c_str(), name.c_str());
        host.ShowMessage(WithCause(text, cause), Texts::tr(ErrorCaption), MessageIcon::Error);
        return nullptr;
    };
    if (request.Number < 1 || request.Number > MaxComPort)
        return fail(name + " is outside COM1..COM" + std::to_string(MaxComPort));

    // Non-blocking: neither a missing carrier at open nor a stalled line at write may hold the tick.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(path + ": " + std::strerror(errno));
    // A mistyped device path naming a file would otherwise be overwritten from its first byte.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return fail(path + ": not a serial device", fd);
    // The port is ours alone, as the original exclusive open made it; another holder refuses us.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(path + ": in use by another program", fd);
    SetExclusiveUse(fd, true);
    // A device that refuses a setting still gets the sentences, as before.
    ApplyLineSettings(fd, LineSettings{request.BaudRate, request.ParityIndex, request.StopBitsIndex, 8});
    return std::unique_ptr<RealSerialPort>(new RealSerialPort(request.Number, path, fd));
}

RealSerialPort::RealSerialPort(int number, std::string path, int fd)
    : m_nNumber(number), m_path(std::move(path)), m_fd(fd)
{
}

RealSerialPort::~RealSerialPort()
{
    Close();
}

std::string RealSerialPort::Describe() const
{
    return ComName(m_nNumber) + " " + m_path;
}

WriteResult RealSerialPort::Write(const char* bytes, std::size_t length)
{
    if (m_fd < 0) return WriteResult::DeviceGone;
    const WriteResult result =
        m_queue.Write(m_fd, std::string_view(bytes, length), SentenceQueue::Clock::now(), WriteTimeLimit);
    if (result == WriteResult::DeviceGone) Close();
    return result;
}

void RealSerialPort::Close()
{
    if (m_fd < 0) return;
    DiscardPendingOutput(m_fd);
    m_queue.Clear();
    SetExclusiveUse(m_fd, false);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace tolvex
