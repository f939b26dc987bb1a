#include "config/ini_file.h"

#include <charconv>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace tolvex {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

enum class LineKind { Other, Section, Key };

struct LineView {
    LineKind Kind = LineKind::Other;
    std::string_view Name;
    std::string_view Value;  // raw text after '=' for a key line
};

LineView Classify(std::string_view line)
{
    std::string_view s = Trim(line);
    if (s.empty() || s.front() == ';' || s.front() == '#') return {};
    if (s.front() == '[') {
        s.remove_prefix(1);
        const auto close = s.find(']');
        if (close != std::string_view::npos) s = s.substr(0, close);
        return {LineKind::Section, Trim(s), {}};
    }
    const auto eq = s.find('=');
    if (eq == std::string_view::npos) return {};
    const std::string_view name = Trim(s.substr(0, eq));
    if (name.empty()) return {};
    return {LineKind::Key, name, s.substr(eq + 1)};
}

// What the profile API hands back for a raw value.
std::string_view ProfileValue(std::string_view raw)
{
    std::string_view v = Trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v.remove_prefix(1);
        v.remove_suffix(1);
    }
    return v;
}

// The text to write so that ProfileValue gives value back.
std::string EncodeValue(std::string_view value)
{
    std::string v(value);
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    const bool blankEnds = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
    const bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    if (blankEnds || quoted) return '"' + v + '"';
    return v;
}

locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

IniFile IniFile::Parse(std::string_view text)
{
    IniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        ini.m_bom = true;
        text.remove_prefix(3);
    }
    bool first = true;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        const bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.remove_suffix(1);
        if (first && nl != std::string_view::npos) ini.m_crlf = cr;
        first = false;
        ini.m_lines.emplace_back(line);
    }
    return ini;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const
{
    bool inside = false;
    for (const std::string& line : m_lines) {
        const LineView v = Classify(line);
        if (v.Kind == LineKind::Section) {
            if (inside) break;  // only the first section of that name counts
            inside = SameName(v.Name, section);
        } else if (inside && v.Kind == LineKind::Key && SameName(v.Name, key)) {
            return std::string(ProfileValue(v.Value));
        }
    }
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t bufferUnits) const
{
    if (bufferUnits == 0) return {};
    const std::optional<std::string> value = Find(section, key);
    const std::string_view text = value ? std::string_view(*value) : defaultValue;
    return std::string(CutToChars(text, bufferUnits - 1));
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::optional<std::string> value = Find(section, key);
    if (!value || value->empty()) return defaultValue;
    return ProfileIntValue(*value);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string encoded = EncodeValue(value);
    std::size_t i = 0;
    for (; i < m_lines.size(); ++i) {
        const LineView v = Classify(m_lines[i]);
        if (v.Kind == LineKind::Section && SameName(v.Name, section)) break;
    }
    if (i == m_lines.size()) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
        m_lines.push_back('[' + std::string(section) + ']');
        m_lines.push_back(std::string(key) + '=' + encoded);
        return;
    }
    std::size_t insertAt = i + 1;
    for (std::size_t j = i + 1; j < m_lines.size(); ++j) {
        const LineView v = Classify(m_lines[j]);
        if (v.Kind == LineKind::Section) break;
        if (v.Kind != LineKind::Key) continue;
        if (SameName(v.Name, key)) {
            m_lines[j] = std::string(v.Name) + '=' + encoded;
            return;
        }
        insertAt = j + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   std::string(key) + '=' + encoded);
}

std::string IniFile::Serialize() const
{
    std::string out;
    if (m_bom) out = "\xEF\xBB\xBF";
    const char* eol = m_crlf ? "\r\n" : "\n";
    for (const std::string& line : m_lines) {
        out += line;
        out += eol;
    }
    return out;
}

int ProfileIntValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v);
}

double LeadingReal(std::string_view text)
{
    const std::string s(text);  // strtod needs the terminating zero
    return strtod_l(s.c_str(), nullptr, CLocale());
}

std::uint32_t HexValue32(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    auto digit = [&](std::size_t at) -> int {
        if (at >= text.size()) return -1;
        const char c = text[at];
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (digit(i) == 0 && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digit(i + 2) >= 0)
        i += 2;
    std::uint64_t v = 0;
    bool overflow = false;
    for (int d; (d = digit(i)) >= 0; ++i) {
        v = v * 16 + static_cast<std::uint64_t>(d);
        if (v > 0xFFFFFFFFull) {
            overflow = true;
            v = 0xFFFFFFFFull;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const auto u = static_cast<std::uint32_t>(v);
    return negative ? static_cast<std::uint32_t>(0u - u) : u;
}

std::string FormatFixed(double value, int decimals)
{
    char buf[400];  // 309 integer digits, a sign, a point and up to 60 decimals
    if (decimals > 60) decimals = 60;
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string_view CutToChars(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == maxChars) return text.substr(0, i);
        ++chars;
    }
    return text;
}

std::size_t CharCount(std::string_view text)
{
    std::size_t chars = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
    return chars;
}

}  // namespace tolvex
