// The .plt reader takes a path only: each input goes through one temporary file.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_host.h"
#include "tracks/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const std::string path = "/tmp/tolvex-fuzz-plt-" + std::to_string(getpid()) + ".plt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadPltFile(path, {settings, host});
    return 0;
}
