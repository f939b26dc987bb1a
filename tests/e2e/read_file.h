#pragma once
// What the end-to-end tests read back: a file the program wrote, whole, as bytes.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tolvex::e2e {

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace tolvex::e2e
