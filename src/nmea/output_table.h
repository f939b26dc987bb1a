#pragma once
// Run-time state of outputs 0..3; the settings live in Settings::Outputs.

#include <array>
#include <memory>
#include <string>

#include "config/settings.h"
#include "links/serial_port.h"

namespace tolvex {

struct OutputRuntime {
    std::unique_ptr<SerialPort> OpenPort;  // outputs 1..3 while running
    bool LinkUp = false;                   // output 0: the OziExplorer link is up
    std::string PortKey;                   // what the port clash check compares ("COM3" or a device path)
    int TickCounter = 0;
    bool StartFailed = false;

    bool IsOpen() const { return OpenPort != nullptr || LinkUp; }
};

using OutputTable = std::array<OutputRuntime, OutputCount>;

}  // namespace tolvex
