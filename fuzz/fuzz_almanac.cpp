// The almanac reader, YUMA and SEM alike, on any bytes.
#include <string_view>

#include "sky/almanac.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    tolvex::ParseAlmanac(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
