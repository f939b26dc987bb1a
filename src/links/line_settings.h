#pragma once
// Line settings of a real serial device: raw 8-bit output at any of the twelve baud rates.
// Kept apart because the kernel's termios2 header cannot share a file with <termios.h>.

#include <optional>

namespace tolvex {

struct LineSettings {
    int BaudRate = 4800;
    int ParityIndex = 0;    // 0 none, 1 odd, 2 even
    int StopBitsIndex = 0;  // 0 one; 1 (one and a half) and 2 both give two, Linux has no 1.5
    int DataBits = 8;       // read back only; always written as 8
};

// The character-format bits of c_cflag: CS8, CREAD, CLOCAL, parity and stop bits (no rate, no CRTSCTS).
unsigned LineControlFlags(const LineSettings& settings);

// Raw output, no flow control, modem lines ignored; rates without a Bxxx constant go through BOTHER.
// False when the device refuses the settings (not a terminal, rate unsupported).
bool ApplyLineSettings(int fd, const LineSettings& settings);

// The settings the device reports now; nothing when it is not a terminal.
std::optional<LineSettings> ReadLineSettings(int fd);

// Discards bytes not yet sent (what an aborted transmission leaves behind).
void DiscardPendingOutput(int fd);

// Refuses further opens of the device by other programs while we hold it (TIOCEXCL), or lifts that.
void SetExclusiveUse(int fd, bool exclusive);

}  // namespace tolvex
