#include "net/output_target.h"

#include <algorithm>
#include <charconv>

#include "net/net_address.h"

namespace tolvex {
namespace {

std::optional<int> Digits(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string BaudList()
{
    std::string list;
    for (int baud : BaudRates) list += (list.empty() ? "" : ", ") + std::to_string(baud);
    return list;
}

}  // namespace

std::string ApplyOutputTarget(std::string_view target, OutputSettings& output)
{
    OutputSettings o = output;
    if (target == "off") {
        output.Active = false;
        return {};
    }
    const bool isVirtual = target.starts_with("virtual:");
    if (isVirtual || target.starts_with("serial:")) {
        std::string_view port = target.substr(target.find(':') + 1);
        if (const auto at = port.rfind('@'); at != std::string_view::npos) {
            if (isVirtual) return "a virtual port has no baud rate";
            const auto baud = Digits(port.substr(at + 1));
            const auto* row = baud ? std::find(BaudRates.begin(), BaudRates.end(), *baud) : BaudRates.end();
            if (row == BaudRates.end()) return "the baud rate must be one of " + BaudList();
            o.BaudRateIndex = static_cast<int>(row - BaudRates.begin());
            port = port.substr(0, at);
        }
        o.Device.clear();
        if (port.starts_with("COM")) {
            const auto number = Digits(port.substr(3));
            if (!number || *number < 1 || *number > MaxComPort)
                return "the COM number must be from 1 to " + std::to_string(MaxComPort);
            o.Port = *number - 1;
        } else if (!isVirtual && port.starts_with("/dev/") && port.size() > 5) {
            o.Device = port;
        } else {
            return isVirtual ? "a virtual port is written COMn" : "a serial port is written COMn or /dev/PATH";
        }
        o.Virtual = isVirtual;
        o.Net.clear();
    } else {
        const NetSpecResult parsed = ParseNetSpec(target);
        if (!parsed.Endpoint) {
            if (target.find(':') == std::string_view::npos)
                return "an output is off, virtual:COMn, serial:COMn, serial:/dev/PATH[@BAUD], tcp-listen:[ADDR:]PORT, "
                       "tcp:HOST:PORT or udp:HOST:PORT";
            return parsed.Error;
        }
        o.Net = FormatNetSpec(*parsed.Endpoint);
    }
    o.Active = true;
    output = o;
    return {};
}

}  // namespace tolvex
