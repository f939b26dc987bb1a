#pragma once
// One output as the command line sets it for a run: "off", "virtual:COMn", "serial:COMn",
// "serial:/dev/PATH", either serial form with "@BAUD", or a network address
// ("tcp-listen:10110", "tcp:HOST:PORT", "udp:HOST:PORT").

#include <string>
#include <string_view>

#include "config/settings.h"

namespace tolvex {

// Sets the output's kind, port and activity from the spec; everything else it keeps. Returns
// the reason in English when the spec is malformed, leaving the output as it was; empty on success.
std::string ApplyOutputSpec(std::string_view spec, OutputSettings& output);

}  // namespace tolvex
