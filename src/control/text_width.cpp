#include "control/text_width.h"

namespace tolvex {
namespace {

// Length in bytes of the character starting at text[i], and its code point.
std::size_t NextCharacter(std::string_view text, std::size_t i, char32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead < 0xF8)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC0)
        length = 2;
    if (length == 1 || i + length > text.size()) {
        code = lead;
        return 1;
    }
    code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            code = lead;
            return 1;
        }
        code = (code << 6) | (next & 0x3F);
    }
    return length;
}

}  // namespace

std::string CutToCharacters(std::string_view text, std::size_t n)
{
    std::size_t i = 0;
    for (std::size_t count = 0; i < text.size() && count < n; ++count) {
        char32_t code;
        i += NextCharacter(text, i, code);
    }
    return std::string(text.substr(0, i));
}

std::size_t CharacterCount(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        char32_t code;
        i += NextCharacter(text, i, code);
    }
    return count;
}

std::vector<CharacterSpan> Characters(std::string_view text)
{
    std::vector<CharacterSpan> spans;
    for (std::size_t i = 0; i < text.size();) {
        char32_t code;
        const std::size_t length = NextCharacter(text, i, code);
        spans.push_back({i, length, code > 0xFF ? 2 : 1});
        i += length;
    }
    return spans;
}

int HalfWidthUnits(std::string_view text)
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t code;
        i += NextCharacter(text, i, code);
        width += code > 0xFF ? 2 : 1;
    }
    return width;
}

}  // namespace tolvex
