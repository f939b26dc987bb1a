#pragma once
// Text input shared by the line-based readers: whole-file reading with UTF-16 decoding, line
// splitting, and numbers read the way the C library's wide _wtof/_wtoi read them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvex {

// The file's text as UTF-8: a UTF-8 byte-order mark is dropped, a UTF-16 LE or BE one decodes
// the rest. Nothing when the file cannot be opened or read.
std::optional<std::string> ReadTextFile(const std::string& path);

// The size of the file at path; 0 when it cannot be told. Readers size their point lists by it.
std::uint64_t FileSize(const std::string& path);

// A text file read piece by piece and handed out as UTF-8, decoded as ReadTextFile decodes it
// (a document that starts with "<?" in UTF-16 needs no mark): memory stays at one piece whatever
// the size of the file. Only regular files of at most MaxTrackFileBytes open.
class TextFileReader {
public:
    explicit TextFileReader(std::size_t pieceBytes = 1 << 20) : m_pieceBytes(pieceBytes) {}
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    bool Open(const std::string& path);
    // The next piece, valid until the next call; false at the end or on a read error. With keep,
    // the piece begins with the last keep bytes of the previous one, moved rather than copied
    // piece by piece: a scanner keeps an unfinished token that way. At the end, piece holds the
    // kept bytes alone.
    bool Next(std::string_view& piece, std::size_t keep = 0);
    bool Failed() const { return m_failed; }
    // The file's size when it was opened.
    std::uint64_t FileBytes() const { return m_fileBytes; }

private:
    enum class Encoding { Unknown, Bytes, Utf16Le, Utf16Be };

    // Reads up to a piece into m_raw at offset at; the count, or -1 on an error.
    long ReadAt(std::size_t at);
    std::string_view Piece() const;

    int m_fd = -1;
    std::uint64_t m_fileBytes = 0;
    std::size_t m_pieceBytes;
    Encoding m_encoding = Encoding::Unknown;
    std::string m_raw;             // the buffer; grows, never shrinks or clears
    std::size_t m_begin = 0;       // Bytes: the piece handed out is m_raw[m_begin, m_end)
    std::size_t m_end = 0;         // UTF-16: m_raw[0, m_end) waits to be decoded
    std::string m_decoded;         // UTF-16: the piece handed out
    bool m_failed = false;
};

// The lines of a text file as LineReader gives them, read piece by piece. A line longer than
// MaxLineBytes is cut there and the rest of it skipped: no track line comes near it.
class FileLines {
public:
    static constexpr std::size_t MaxLineBytes = 1 << 20;

    explicit FileLines(std::size_t pieceBytes = 1 << 20, std::size_t maxLineBytes = MaxLineBytes)
        : m_file(pieceBytes), m_maxLineBytes(maxLineBytes)
    {
    }
    bool Open(const std::string& path) { return m_file.Open(path); }
    // The next line, valid until the next call.
    bool Next(std::string_view& line);
    // The file could not be read to its end.
    bool Failed() const { return m_file.Failed(); }
    // The file's size when it was opened.
    std::uint64_t FileBytes() const { return m_file.FileBytes(); }

private:
    TextFileReader m_file;
    std::size_t m_maxLineBytes;
    std::string_view m_held;     // the reader's piece; m_held[m_at..] is not yet handed out
    std::size_t m_at = 0;
    std::size_t m_searched = 0;  // m_held[m_at, m_searched) holds no line feed
    bool m_skipping = false;     // inside the rest of a line that was cut
    bool m_end = false;
};

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

// The text cut at every separator into fields, the first fields.size() only (readers that look at
// five fields of a line of a million commas need not hold a million), without an allocation per
// line; returns the count. Empty fields count, an empty text gives one empty field.
std::size_t SplitFields(std::string_view text, char separator, std::span<std::string_view> fields);

// Appends code point c as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// UTF-16 text (without its byte-order mark) as UTF-8; unpaired surrogates become U+FFFD.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian);

// Leading blanks skipped, the longest valid decimal prefix taken, 0 when there is none.
double LeadingDouble(std::string_view text);  // as _wtof
// The same, and how many characters the number took, blanks and sign included (0 for none).
double LeadingDouble(std::string_view text, std::size_t& used);
int LeadingInt(std::string_view text);        // as _wtoi (saturates at the int range)

}  // namespace tolvex
