#include "fuzz_host.h"
#include "tracks/readers/trk.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadTrkBytes({reinterpret_cast<const char*>(data), size}, {settings, host});
    return 0;
}
