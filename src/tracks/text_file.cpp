#include "tracks/text_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "config/file_io.h"

namespace tolvex {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Unpaired surrogates become U+FFFD rather than ill-formed UTF-8; an odd last byte is dropped.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> char32_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (char32_t(b0) << 8 | b1) : (char32_t(b1) << 8 | b0);
    };
    const std::size_t n = bytes.size() & ~std::size_t{1};
    for (std::size_t i = 0; i < n; i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

TextFileReader::~TextFileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

bool TextFileReader::Open(const std::string& path)
{
    ReadStatus status;
    std::string error;
    m_fd = OpenRegularFile(path, MaxTrackFileBytes, status, error);
    struct stat st {};
    m_fileBytes = m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    // A small file is read in one piece of its own size: a megabyte cleared for ten lines costs
    // more than the rest of a short command.
    constexpr std::uint64_t SmallestPiece = 4096;
    m_pieceBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>(m_pieceBytes, std::max<std::uint64_t>(m_fileBytes + 1, SmallestPiece)));
    return m_fd >= 0;
}

long TextFileReader::ReadAt(std::size_t at)
{
    if (m_raw.size() < at + m_pieceBytes)
        m_raw.resize(at + m_pieceBytes);  // once, or when a long token is kept: not zeroed per piece
    ssize_t n;
    do
        n = ::read(m_fd, m_raw.data() + at, m_pieceBytes);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        m_failed = true;
    return static_cast<long>(n);
}

std::string_view TextFileReader::Piece() const
{
    if (m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be)
        return m_decoded;
    return std::string_view(m_raw).substr(m_begin, m_end - m_begin);
}

bool TextFileReader::Next(std::string_view& piece, std::size_t keep)
{
    if (m_fd < 0 || m_failed) {
        piece = {};
        return false;
    }
    const std::string_view last = Piece();
    keep = std::min(keep, last.size());
    const bool utf16 = m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be;
    if (utf16) {
        m_decoded.erase(0, m_decoded.size() - keep);
    } else {
        std::memmove(m_raw.data(), last.data() + last.size() - keep, keep);
        m_begin = 0;
        m_end = keep;
    }
    for (;;) {
        // UTF-16 keeps back an odd byte or a high surrogate that the next piece completes.
        const long n = ReadAt(m_end);
        if (n < 0) {
            piece = Piece();
            return false;
        }
        m_end += static_cast<std::size_t>(n);
        const bool end = n == 0;
        if (m_encoding == Encoding::Unknown) {
            // The byte-order mark decides, or for a document without one its "<?" in UTF-16;
            // wait for four bytes unless the file is shorter.
            if (!end && m_end < 4)
                continue;
            using namespace std::string_view_literals;
            const std::string_view start = std::string_view(m_raw).substr(0, m_end);
            m_encoding = Encoding::Bytes;
            if (start.starts_with("\xEF\xBB\xBF"sv)) {
                m_begin = 3;
            } else if (start.starts_with("\xFF\xFE"sv) || start.starts_with("\xFE\xFF"sv)) {
                m_encoding = m_raw[0] == '\xFE' ? Encoding::Utf16Be : Encoding::Utf16Le;
                m_raw.erase(0, 2);
                m_end -= 2;
            } else if (start.starts_with("<\0?\0"sv)) {
                m_encoding = Encoding::Utf16Le;
            } else if (start.starts_with("\0<\0?"sv)) {
                m_encoding = Encoding::Utf16Be;
            }
        }
        if (m_encoding == Encoding::Bytes) {
            piece = Piece();
            if (piece.size() > keep)
                return true;
            if (end)
                return false;
            continue;  // the reads held the byte-order mark only
        }
        std::size_t usable = end ? m_end : m_end & ~std::size_t{1};
        if (!end && usable >= 2) {
            const bool big = m_encoding == Encoding::Utf16Be;
            const auto hi = static_cast<unsigned char>(m_raw[usable - (big ? 2 : 1)]);
            if (hi >= 0xD8 && hi < 0xDC)
                usable -= 2;
        }
        if (usable == 0 && !end)
            continue;
        m_decoded += DecodeUtf16(std::string_view(m_raw).substr(0, usable), m_encoding == Encoding::Utf16Be);
        m_raw.erase(0, usable);
        m_end -= usable;
        piece = m_decoded;
        if (piece.size() > keep)
            return true;
        if (end)
            return false;
    }
}

bool FileLines::Next(std::string_view& line)
{
    for (;;) {
        const void* lf = m_searched < m_held.size()
                             ? std::memchr(m_held.data() + m_searched, '\n', m_held.size() - m_searched)
                             : nullptr;
        if (lf) {
            const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - m_held.data());
            const std::size_t from = m_at;
            m_at = m_searched = at + 1;
            if (m_skipping) {
                m_skipping = false;
                continue;
            }
            line = m_held.substr(from, at - from);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            return true;
        }
        m_searched = m_held.size();
        if (m_skipping) {
            m_at = m_searched;  // the rest of a cut line is never kept
        } else if (m_held.size() - m_at >= m_maxLineBytes) {
            line = m_held.substr(m_at, m_maxLineBytes);
            m_skipping = true;
            return true;
        }
        if (m_end)
            return false;
        const std::size_t keep = m_held.size() - m_at;
        const bool more = m_file.Next(m_held, keep);
        m_at = 0;
        m_searched = keep;
        if (!more) {
            m_end = true;
            // A last line without its line end still counts.
            if (m_skipping || m_held.empty())
                return false;
            line = m_held;
            m_at = m_searched = m_held.size();
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            return true;
        }
    }
}

std::optional<std::string> ReadTextFile(const std::string& path)
{
    TextFileReader file;
    if (!file.Open(path))
        return std::nullopt;
    std::string text;
    text.reserve(file.FileBytes());  // grown once, not piece by piece (UTF-16 decodes to about as much)
    std::string_view piece;
    while (file.Next(piece))
        text.append(piece);
    if (file.Failed())
        return std::nullopt;
    return text;
}

bool LineReader::Next(std::string_view& line)
{
    if (m_done)
        return false;
    const std::size_t end = m_rest.find('\n');
    if (end == std::string_view::npos) {
        // A last line without its line end still counts; an empty tail after the final LF does not.
        m_done = true;
        if (m_rest.empty())
            return false;
        line = m_rest;
    } else {
        line = m_rest.substr(0, end);
        m_rest.remove_prefix(end + 1);
        if (m_rest.empty())
            m_done = true;
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::size_t SplitFields(std::string_view text, char separator, std::span<std::string_view> fields)
{
    std::size_t count = 0, start = 0;
    while (count < fields.size()) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            fields[count++] = text.substr(start);
            break;
        }
        fields[count++] = text.substr(start, at - start);
        start = at + 1;
    }
    return count;
}

// Where the digits of a leading number begin: after blanks and one sign.
static std::size_t NumberStart(std::string_view text, bool& negative)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

// Adds the decimal digits at p to value and returns the first byte that is not one.
static const char* AccumulateDigits(const char* p, const char* end, std::uint64_t& value)
{
    std::uint64_t v = value;
    for (; p != end; ++p) {
        const auto digit = static_cast<std::uint64_t>(static_cast<unsigned char>(*p)) - '0';
        if (digit > 9)
            break;
        v = v * 10 + digit;
    }
    value = v;
    return p;
}

// Both readings below are this one, made twice by the compiler: the count costs the common
// reading nothing.
template <bool Count>
static double ReadLeadingDouble(std::string_view text, std::size_t& used)
{
    if constexpr (Count)
        used = 0;
    bool negative = false;
    const char* p = text.data() + NumberStart(text, negative);
    const char* const end = text.data() + text.size();
    const char* const begin = p;
    // Wraps beyond 19 digits, but is only used for 15 or fewer.
    std::uint64_t mantissa = 0;
    p = AccumulateDigits(p, end, mantissa);
    std::size_t digits = static_cast<std::size_t>(p - begin), decimals = 0;
    if (p != end && *p == '.') {
        const char* const fraction = ++p;
        p = AccumulateDigits(p, end, mantissa);
        decimals = static_cast<std::size_t>(p - fraction);
        digits += decimals;
    }
    if (digits == 0)
        return 0;
    if constexpr (Count)
        used = static_cast<std::size_t>(p - text.data());
    // Up to 15 digits without an exponent (every coordinate of a track file): the digits and the
    // power of ten are exact doubles, so one division rounds as the library's reading does.
    static constexpr double Pow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool exponent = p != end && (*p == 'e' || *p == 'E');
    if (digits <= 15 && !exponent) {
        const double value = static_cast<double>(mantissa) / Pow10[decimals];
        return negative ? -value : value;
    }
    // An exponent counts only when digits follow it ("1e" reads as 1).
    if (exponent) {
        const char* q = p + 1;
        if (q != end && (*q == '+' || *q == '-'))
            ++q;
        if (q != end && IsDigit(*q)) {
            while (q != end && IsDigit(*q))
                ++q;
            p = q;
            if constexpr (Count)
                used = static_cast<std::size_t>(p - text.data());
        }
    }
    double value = 0;
    const auto result = std::from_chars(begin, p, value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves value alone here; the C library gives HUGE_VAL or 0.
        const std::string_view number(begin, static_cast<std::size_t>(p - begin));
        const auto e = number.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && number[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

double LeadingDouble(std::string_view text)
{
    std::size_t unused = 0;
    return ReadLeadingDouble<false>(text, unused);
}

double LeadingDouble(std::string_view text, std::size_t& used)
{
    return ReadLeadingDouble<true>(text, used);
}

int LeadingInt(std::string_view text)
{
    bool negative = false;
    std::size_t i = NumberStart(text, negative);
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace tolvex
