#pragma once
// Character-wise handling of the UTF-8 texts the panel and the menus cut and measure. A character
// is a code point; a byte that is not valid UTF-8 counts as one character and is kept as it is.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex {

// One character of a text: where its bytes are and its half-width units.
struct CharacterSpan {
    std::size_t Offset = 0;
    std::size_t Length = 0;
    int Width = 1;
};
std::vector<CharacterSpan> Characters(std::string_view text);

// The first n characters of text (all of it when shorter).
std::string CutToCharacters(std::string_view text, std::size_t n);

// Number of characters.
std::size_t CharacterCount(std::string_view text);

// Width in half-width units: a character above U+00FF counts 2, any other 1.
int HalfWidthUnits(std::string_view text);

}  // namespace tolvex
