#pragma once
// One private folder for the files a benchmark program writes, removed when the program ends, so
// that no run leaves anything behind in /tmp.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvex-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return pattern;
    }();
    return folder;
}

}  // namespace bench
