// Only the kernel's termbits here: <termios.h> defines the same struct termios differently.
#include "links/line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <array>
#include <utility>

namespace tolvex {
namespace {

// Rates with their own constant; the others (14400, 56000, 128000, 256000) take BOTHER.
constexpr std::array<std::pair<int, unsigned>, 8> StandardRates = {{
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
}};

unsigned RateCode(int baudRate)
{
    for (const auto& [rate, code] : StandardRates) {
        if (rate == baudRate) return code;
    }
    return BOTHER;
}

}  // namespace

unsigned LineControlFlags(const LineSettings& settings)
{
    unsigned flags = CS8 | CREAD | CLOCAL;
    if (settings.ParityIndex == 1) flags |= PARENB | PARODD;
    if (settings.ParityIndex == 2) flags |= PARENB;
    if (settings.StopBitsIndex != 0) flags |= CSTOPB;
    return flags;
}

bool ApplyLineSettings(int fd, const LineSettings& settings)
{
    if (settings.BaudRate <= 0) return false;
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;

    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= LineControlFlags(settings);

    const unsigned code = RateCode(settings.BaudRate);
    t.c_cflag |= code | (code << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(settings.BaudRate);
    t.c_ospeed = static_cast<speed_t>(settings.BaudRate);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

std::optional<LineSettings> ReadLineSettings(int fd)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
    LineSettings s;
    s.BaudRate = static_cast<int>(t.c_ospeed);
    s.ParityIndex = (t.c_cflag & PARENB) == 0 ? 0 : (t.c_cflag & PARODD) != 0 ? 1 : 2;
    s.StopBitsIndex = (t.c_cflag & CSTOPB) != 0 ? 2 : 0;
    switch (t.c_cflag & CSIZE) {
        case CS5: s.DataBits = 5; break;
        case CS6: s.DataBits = 6; break;
        case CS7: s.DataBits = 7; break;
        default: s.DataBits = 8; break;
    }
    return s;
}

void DiscardPendingOutput(int fd)
{
    ioctl(fd, TCFLSH, TCOFLUSH);
}

void SetExclusiveUse(int fd, bool exclusive)
{
    ioctl(fd, exclusive ? TIOCEXCL : TIOCNXCL);
}

}  // namespace tolvex
