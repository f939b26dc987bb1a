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
    int PortNumber = 0;                    // the COM number of the running port, for the clash check
    std::string PortDevice;                // its device path when real, for the clash check
    int ListenPort = 0;                    // the TCP port of a running network server, for the clash check
    int TickCounter = 0;
    bool StartFailed = false;
    long long GroupsSent = 0;              // groups of sentences this output has sent since the program started

    bool IsOpen() const { return OpenPort != nullptr || LinkUp; }
};

using OutputTable = std::array<OutputRuntime, OutputCount>;

}  // namespace tolvex
