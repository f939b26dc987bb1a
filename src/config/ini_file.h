#pragma once
// An INI file held as its lines, read and written with the rules of the Windows profile API, so a
// file written by hand or by another build reads the same. Section and key names compare without
// regard to ASCII case; the first matching section and, in it, the first matching key count.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex {

class IniFile {
public:
    IniFile() = default;

    // Any text parses: lines that are neither a section header nor "key=value" are kept as they
    // are. A UTF-8 byte order mark is dropped; CR LF or LF line ends are both accepted.
    static IniFile Parse(std::string_view text);

    // The value of the key with blanks around it trimmed and one pair of matching enclosing
    // quotes (" or ') removed; nothing when the section or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // GetPrivateProfileString: the value, or defaultValue when the key is missing, cut to
    // bufferUnits - 1 characters (UTF-8 code points, never inside one).
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t bufferUnits) const;

    // GetPrivateProfileInt: defaultValue when the key is missing or empty, otherwise the leading
    // decimal number of the value (0 when it has none).
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // WritePrivateProfileString: replaces the first matching key line of the section in place,
    // or adds the key after the section's last key, or adds the section at the end of the file.
    // Values that would not read back unchanged (blanks at either end, enclosing quotes) are
    // written inside double quotes; line breaks inside a value become blanks.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The text to store: every line not touched by Set as it was read, with the file's line ends.
    std::string Serialize() const;

private:
    std::vector<std::string> m_lines;
    bool m_crlf = false;
    bool m_bom = false;
    bool m_finalNewline = true;
};

// The leading decimal integer of text as GetPrivateProfileInt reads it: leading blanks skipped,
// one optional sign, digits up to the first other character; no digit gives 0. Values beyond the
// range of int are held at its nearest end.
int ProfileIntValue(std::string_view text);

// The leading number of text as _wtof reads it (anything strtod accepts, in the C locale,
// including "nan" and "inf"); 0 when the text does not start with a number.
double LeadingReal(std::string_view text);

// wcstoul(text, nullptr, 16) of a 32-bit unsigned long: blanks, a sign, an optional 0x; an
// overflow gives 0xFFFFFFFF and a minus sign negates modulo 2^32.
std::uint32_t HexValue32(std::string_view text);

// printf("%.<decimals>f", value) in the C locale, whatever the process locale is.
std::string FormatFixed(double value, int decimals);

// The first maxChars UTF-8 code points of text; a multi-byte character is never split.
std::string_view CutToChars(std::string_view text, std::size_t maxChars);

// Number of UTF-8 code points in text (continuation bytes are not counted).
std::size_t CharCount(std::string_view text);

}  // namespace tolvex
