// The .plt reader on text in memory, as the file reader hands it over.
#include "fuzz_host.h"
#include "tracks/readers/plt.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadPltText({reinterpret_cast<const char*>(data), size}, "fuzz.plt", {settings, host});
    return 0;
}
