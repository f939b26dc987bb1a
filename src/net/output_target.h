#pragma once
// One output as the command line sets it for a run: "off", "virtual:COMn", "serial:COMn",
// "serial:/dev/PATH", either serial form with "@BAUD", or a network address
// ("tcp-listen:10110", "tcp:HOST:PORT", "udp:HOST:PORT").

#include <string>
#include <string_view>

#include "config/settings.h"

namespace tolvex {

// Sets the output's kind, port and activity from the target; everything else it keeps. Returns
// the reason in English when the target is malformed, leaving the output as it was; empty on success.
std::string ApplyOutputTarget(std::string_view target, OutputSettings& output);

}  // namespace tolvex
