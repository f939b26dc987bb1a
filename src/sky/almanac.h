#pragma once
// GPS almanac files in the two text forms published for GPS: YUMA ("ID:  01" key lines) and SEM
// (a header and one block of numbers per satellite).

#include <string>
#include <string_view>
#include <vector>

#include "sky/orbit.h"

namespace tolvex {

inline constexpr std::size_t MaxAlmanacRecords = 256;

struct AlmanacResult {
    std::vector<OrbitElements> Satellites;  // healthy or not, in file order
    std::string Error;                      // empty on success; otherwise names the line and the cause
    explicit operator bool() const { return Error.empty(); }
};

// Either form, told apart by its key lines. A file without one complete record is an error.
AlmanacResult ParseAlmanac(std::string_view text);
AlmanacResult ReadAlmanacFile(const std::string& path);

}  // namespace tolvex
