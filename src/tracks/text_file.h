#pragma once
// Text input shared by the line-based readers: whole-file reading with UTF-16 decoding, line
// splitting, and numbers read the way the C library's wide _wtof/_wtoi read them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex {

// The file's text as UTF-8: a UTF-8 byte-order mark is dropped, a UTF-16 LE or BE one decodes
// the rest. Nothing when the file cannot be opened or read.
std::optional<std::string> ReadTextFile(const std::string& path);

// Walks a text line by line; the line end (LF, CR LF) is removed.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_rest(text) {}
    bool Next(std::string_view& line);

private:
    std::string_view m_rest;
    bool m_done = false;
};

// Blanks (space, tab, CR, LF, VT, FF) removed at both ends.
std::string_view TrimBlanks(std::string_view text);

// The text cut at every separator; empty fields count, an empty text gives one empty field.
std::vector<std::string_view> SplitFields(std::string_view text, char separator);

// Leading blanks skipped, the longest valid decimal prefix taken, 0 when there is none.
// Appends code point c as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// UTF-16 text (without its byte-order mark) as UTF-8; unpaired surrogates become U+FFFD.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian);

double LeadingDouble(std::string_view text);  // as _wtof
int LeadingInt(std::string_view text);        // as _wtoi (saturates at the int range)

}  // namespace tolvex
