// Network output addresses and the command line's output forms: parse anything; what parses must
// write back to a text that parses to the same endpoint.
#include <string>

#include "net/net_address.h"
#include "net/output_target.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tolvex::OutputSettings output;
    tolvex::ApplyOutputTarget(text, output);
    const tolvex::NetSpecResult first = tolvex::ParseNetSpec(text);
    if (!first.Endpoint) return 0;
    const tolvex::NetSpecResult again = tolvex::ParseNetSpec(tolvex::FormatNetSpec(*first.Endpoint));
    if (!again.Endpoint || again.Endpoint->Host != first.Endpoint->Host || again.Endpoint->Port != first.Endpoint->Port ||
        again.Endpoint->Kind != first.Endpoint->Kind || again.Endpoint->Ttl != first.Endpoint->Ttl ||
        again.Endpoint->MaxClients != first.Endpoint->MaxClients)
        __builtin_trap();
    return 0;
}
