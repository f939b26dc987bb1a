#include "fuzz_host.h"
#include "tracks/readers/gpx.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadGpxText({reinterpret_cast<const char*>(data), size}, {settings, host});
    return 0;
}
