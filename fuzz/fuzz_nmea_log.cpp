#include "fuzz_host.h"
#include "tracks/readers/nmea_log.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tolvex::ReadNmeaLogText(text, {settings, host}, 1255262400);
    // The player's pacing reads each line on its own.
    for (std::size_t start = 0, end = 0; start <= size; start = end + 1) {
        end = std::min(text.find('\n', start), size);
        tolvex::LineTimeOfDay(text.substr(start, end - start));
    }
    return 0;
}
