// The .plt reader takes a path only: each input goes through one memory file, named through
// /proc so that nothing is ever written to disk or left behind.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz_host.h"
#include "tracks/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    static const int fd = memfd_create("fuzz-plt", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    tolvex::Settings settings;
    tolvex::fuzz::SilentHost host;
    tolvex::ReadPltFile(path, {settings, host});
    return 0;
}
