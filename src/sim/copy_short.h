#pragma once
// Copies of a few bytes, as sentence fields and XML names are, by fixed-size moves instead of a
// library call sized to each.

#include <cstddef>
#include <cstring>

namespace tolvex {

// n bytes, up to 32.
inline void CopyShort(char* to, const char* from, std::size_t n)
{
    if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

// A long copy is no hot path: kept out of line, so that a caller's short copies stay small and
// the compiler does not weigh the long one against the caller's short buffers.
[[gnu::noinline]] inline void CopyLong(char* to, const char* from, std::size_t n)
{
    std::memcpy(to, from, n);
}

// Any n: the short ones as above.
inline void CopyBytes(char* to, const char* from, std::size_t n)
{
    if (n <= 32)
        CopyShort(to, from, n);
    else
        CopyLong(to, from, n);
}

}  // namespace tolvex
