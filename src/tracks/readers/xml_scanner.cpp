#include "tracks/readers/xml_scanner.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "tracks/readers/xml_relay.h"
#include "tracks/text_file.h"

namespace tolvex {
namespace {

// Longest reference worth waiting for at the end of a piece ("&#x10FFFF;" and the like).
constexpr std::size_t MaxReferenceLength = 32;
// Deeper documents are refused, as the DOM we replace refuses them; it also bounds the work
// that text shared by nested elements can cost.
constexpr std::size_t MaxElementDepth = 256;
// A tag, a declaration or a document type longer than this is not a track file: refusing it
// bounds the memory and the rescanning that a token split over many pieces costs.
constexpr std::size_t MaxHeldBytes = 16 << 20;

// Character classes of the markup, looked up once per byte.
// ValueStopClass: what ends or changes the reading of an attribute value; TextStopClass: the same
// for character data.
enum : std::uint8_t { SpaceClass = 1, NameStartClass = 2, NameClass = 4, ValueStopClass = 8, TextStopClass = 16 };

constexpr std::array<std::uint8_t, 256> CharClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
        const bool name = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
        const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        const bool valueStop = space || c == '"' || c == '\'' || c == '<' || c == '&';
        const bool textStop = c == '<' || c == '&' || c == '\r';
        classes[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(
            (space ? SpaceClass : 0) | (start ? NameStartClass : 0) | (name ? NameClass : 0) | (valueStop ? ValueStopClass : 0)
            | (textStop ? TextStopClass : 0));
    }
    return classes;
}();

bool HasClass(char c, std::uint8_t mask)
{
    return (CharClasses[static_cast<unsigned char>(c)] & mask) != 0;
}

bool IsSpace(char c)
{
    return HasClass(c, SpaceClass);
}

bool IsNameStart(char c)
{
    return HasClass(c, NameStartClass);
}

bool IsNameChar(char c)
{
    return HasClass(c, NameClass);
}

// The end of the name whose first byte is before p.
std::size_t NameEnd(const char* b, std::size_t p, std::size_t n)
{
    while (p < n && IsNameChar(b[p]))
        ++p;
    return p;
}

constexpr std::uint64_t Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;

// The high bit of every byte of word below c (c at most 0x80). Borrows may mark bytes after the
// first marked one, never before it.
std::uint64_t BytesBelow(std::uint64_t word, char c)
{
    return (word - Ones * static_cast<unsigned char>(c)) & ~word & Highs;
}

// The same for the bytes equal to c.
std::uint64_t BytesEqual(std::uint64_t word, char c)
{
    return BytesBelow(word ^ (Ones * static_cast<unsigned char>(c)), 1);
}

// The first byte from p on that may end or change an attribute value: a quote, '<', '&' or
// white space; a word at a time, where any byte below '(' stops as well.
std::size_t ValueStop(const char* b, std::size_t p, std::size_t n)
{
    for (; p + 8 <= n; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, b + p, 8);
        if (const std::uint64_t stops = BytesBelow(word, '(') | BytesEqual(word, '<'); stops != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return p + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
            break;
        }
    }
    while (p < n && !HasClass(b[p], ValueStopClass))
        ++p;
    return p;
}

// What makes a text run or an attribute value need decoding: a reference, a CR, and in a value
// a tab or a line feed. Text runs (a whole coordinates list) are checked a word at a time.
bool NeedsDecoding(std::string_view text, bool attribute)
{
    std::size_t i = 0;
    if (!attribute) {
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if ((BytesEqual(word, '&') | BytesEqual(word, '\r')) != 0)
                return true;
        }
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&' || c == '\r' || (attribute && (c == '\t' || c == '\n')))
            return true;
    }
    return false;
}

// A character reference body ("#65", "#x41") as a code point; 0 when it is not a legal one.
char32_t CharacterReference(std::string_view body)
{
    if (body.size() < 2 || body[0] != '#')
        return 0;
    const bool hex = body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    char32_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
        if (value > 0x10FFFF)
            return 0;
    }
    if (value >= 0xD800 && value < 0xE000)
        return 0;
    return value;
}

// 1: buf at pos starts with prefix; -1: it might, but the piece ends first; 0: it does not.
int StartsWith(std::string_view buf, std::size_t pos, std::string_view prefix)
{
    const std::size_t have = std::min(buf.size() - pos, prefix.size());
    if (buf.compare(pos, have, prefix.substr(0, have)) != 0)
        return 0;
    return have == prefix.size() ? 1 : -1;
}


// The value of encoding="..." (or '...') in the body of an XML declaration; empty when none.
std::string_view DeclaredEncoding(std::string_view declaration)
{
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    std::size_t p = at + 8;
    while (p < declaration.size() && IsSpace(declaration[p]))
        ++p;
    if (p >= declaration.size() || declaration[p] != '=')
        return {};
    ++p;
    while (p < declaration.size() && IsSpace(declaration[p]))
        ++p;
    if (p >= declaration.size() || (declaration[p] != '"' && declaration[p] != '\''))
        return {};
    const std::size_t close = declaration.find(declaration[p], p + 1);
    if (close == std::string_view::npos)
        return {};
    return declaration.substr(p + 1, close - p - 1);
}

// The byte order of a UTF-16 document: by its byte-order mark, or, without one, by its "<?" as
// a DOM parser detects it. Nothing for any other start.
std::optional<bool> Utf16BigEndian(std::string_view start)
{
    using namespace std::string_view_literals;
    if (start.starts_with("\xFE\xFF"sv) || start.starts_with("\0<\0?"sv))
        return true;
    if (start.starts_with("\xFF\xFE"sv) || start.starts_with("<\0?\0"sv))
        return false;
    return std::nullopt;
}

// A pairwise check for the usual handful of attributes; sorted names for many, so that an element
// with 200 000 attributes costs n log n, not n squared.
bool HasDuplicateName(std::span<const XmlAttribute> attributes, std::vector<std::string_view>& names)
{
    constexpr std::size_t PairwiseLimit = 16;
    if (attributes.size() <= PairwiseLimit) {
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (SameName(attributes[i].Name, attributes[j].Name))
                    return true;
            }
        }
        return false;
    }
    names.clear();
    for (const XmlAttribute& a : attributes)
        names.push_back(a.Name);
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) != names.end();
}

}  // namespace

std::string DocumentEncoding(std::string_view declared, bool utf8)
{
    if (!declared.empty() || utf8)
        return std::string(declared);
    return "GB18030";
}

std::optional<BuiltTrack> NamesToUtf8(std::optional<BuiltTrack> track, std::string_view encoding)
{
    if (track) {
        for (TrackSegment& segment : track->Segments)
            segment.Name = TextToUtf8(segment.Name, encoding);
    }
    return track;
}

std::string TextToUtf8(std::string_view text, std::string_view encoding)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || encoding.empty() || SameNameNoCase(encoding, "UTF-8") || SameNameNoCase(encoding, "UTF8")
        || SameNameNoCase(encoding, "UTF-16"))
        return std::string(text);
    // Files labelled GB2312 are written with the GBK superset more often than not.
    std::string from(encoding);
    if (SameNameNoCase(encoding, "GB2312") || SameNameNoCase(encoding, "GBK"))
        from = "GB18030";
    const iconv_t converter = iconv_open("UTF-8", from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::string(text);
    std::string out(text.size() * 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outAt = out.data();
    std::size_t outLeft = out.size();
    const std::size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
    iconv_close(converter);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::string(text);
    out.resize(out.size() - outLeft);
    return out;
}

bool XmlScanner::Feed(std::string_view bytes, bool last)
{
    if (m_carry.empty()) {
        const std::size_t consumed = FeedHeld(bytes, 0, last);
        if (consumed == std::string_view::npos)
            return false;
        m_carry.assign(bytes.substr(consumed));
        return true;
    }
    const std::size_t held = m_carry.size();
    m_carry.append(bytes);
    const std::size_t consumed = FeedHeld(m_carry, held, last);
    if (consumed == std::string_view::npos)
        return false;
    m_carry.erase(0, consumed);
    return true;
}

std::size_t XmlScanner::FeedHeld(std::string_view text, std::size_t held, bool last)
{
    constexpr std::size_t Error = std::string_view::npos;
    if (m_failed || m_finished)
        return !m_failed && text.size() == held ? held : Error;
    CheckUtf8(text.substr(held));
    const std::size_t consumed = Scan(text, last);
    if (consumed == Error || (last && consumed != text.size()) || text.size() - consumed > MaxHeldBytes) {
        m_failed = true;
        return Error;
    }
    if (last) {
        m_finished = true;
        m_failed = !Finish();
        if (m_failed)
            return Error;
        m_handler.EndDocument(m_utf8Valid && m_utf8Pending == 0);
    }
    return consumed;
}

void XmlScanner::CheckUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (m_utf8Valid && i < n) {
        // Runs of ASCII, the bulk of any track file, 32 bytes at a time.
        if (m_utf8Pending == 0) {
            while (i + 32 <= n) {
                std::uint64_t words[4];
                std::memcpy(words, bytes.data() + i, 32);
                if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ULL) != 0)
                    break;
                i += 32;
            }
            if (i + 8 <= n) {
                std::uint64_t word;
                std::memcpy(&word, bytes.data() + i, 8);
                if ((word & 0x8080808080808080ULL) == 0) {
                    i += 8;
                    continue;
                }
            }
            if (i == n)
                break;
        }
        const auto c = static_cast<unsigned char>(bytes[i++]);
        if (m_utf8Pending > 0) {
            m_utf8Valid = (c & 0xC0) == 0x80;
            --m_utf8Pending;
        } else if (c >= 0x80) {
            m_utf8Pending = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : -1;
            m_utf8Valid = m_utf8Pending > 0;
        }
    }
}

std::size_t XmlScanner::Scan(std::string_view buf, bool last)
{
    constexpr std::size_t Error = std::string_view::npos;
    const std::size_t n = buf.size();
    std::size_t pos = 0;
    while (pos < n) {
        if (!m_skipUntil.empty() || m_inCdata) {
            const Step step = Skip(buf, pos, last);
            if (step == Step::Error)
                return Error;
            if (step == Step::NeedMore)
                return pos;
            continue;
        }
        if (buf[pos] == '<') {
            // Start and end tags, nearly every token of a track file, go straight to their reader.
            const char kind = pos + 1 < n ? buf[pos + 1] : '\0';
            Step step;
            if (kind == '/') {
                step = EndTag(buf, pos, last);
            } else if (IsNameStart(kind)) {
                m_started = true;
                step = StartTag(buf, pos, last);
            } else {
                step = Markup(buf, pos, last);
            }
            if (step == Step::Error)
                return Error;
            if (step == Step::NeedMore)
                return pos;
            continue;
        }
        // Most runs between tags are a line end or a short value: looked at in place before
        // the library's search takes over. One that ends in view and holds no reference or CR
        // needs no decoding.
        const char* lt = nullptr;
        bool plain = true;
        constexpr std::size_t ShortRun = 16;
        const std::size_t shortEnd = std::min(n, pos + ShortRun);
        for (std::size_t i = pos; i < shortEnd; ++i) {
            if (HasClass(buf[i], TextStopClass)) {
                if (buf[i] == '<') {
                    lt = buf.data() + i;
                    break;
                }
                plain = false;
            }
        }
        plain = plain && lt;
        if (!lt && shortEnd < n)
            lt = static_cast<const char*>(std::memchr(buf.data() + shortEnd, '<', n - shortEnd));
        const std::size_t end = lt ? static_cast<std::size_t>(lt - buf.data()) : n;
        std::size_t stop = end;
        if (!lt && !last) {
            // Keep back what the next piece may complete: a reference, or the CR of a CR LF.
            const std::size_t from = end - std::min(end - pos, MaxReferenceLength);
            const std::size_t amp = buf.substr(from, end - from).rfind('&');
            if (amp != std::string_view::npos && buf.substr(from + amp, end - from - amp).find(';') == std::string_view::npos)
                stop = from + amp;
            else if (buf[end - 1] == '\r')
                stop = end - 1;
        }
        m_started = true;
        if (stop > pos && !CharacterData(buf.substr(pos, stop - pos), plain))
            return Error;
        pos = stop;
        if (!lt)
            return pos;
    }
    return pos;
}

XmlScanner::Step XmlScanner::Markup(std::string_view buf, std::size_t& pos, bool last)
{
    const Step more = last ? Step::Error : Step::NeedMore;
    const std::size_t n = buf.size();
    if (pos + 1 >= n)
        return more;
    const char kind = buf[pos + 1];
    if (kind == '/')
        return EndTag(buf, pos, last);
    if (kind == '?') {
        const std::size_t end = buf.find("?>", pos + 2);
        if (end == std::string_view::npos) {
            if (!m_started)
                return more;  // the declaration is read whole; the cap on held bytes bounds it
            m_started = true;
            m_skipUntil = "?>";  // any later instruction is skipped without being kept
            pos += 2;
            return last ? Step::Error : Step::Done;
        }
        const std::string_view body = buf.substr(pos + 2, end - pos - 2);
        if (!m_started && body.substr(0, 4) == "xml ")
            m_handler.Declaration(DeclaredEncoding(body));
        m_started = true;
        pos = end + 2;
        return Step::Done;
    }
    m_started = true;
    if (kind != '!')
        return StartTag(buf, pos, last);

    // Comments and CDATA sections stream: a gigabyte of either never sits in memory.
    if (const int comment = StartsWith(buf, pos, "<!--"); comment != 0) {
        if (comment < 0)
            return more;
        m_skipUntil = "-->";
        pos += 4;
        return Step::Done;
    }
    if (const int cdata = StartsWith(buf, pos, "<![CDATA["); cdata != 0) {
        if (OpenCount() == 0)
            return Step::Error;
        if (cdata < 0)
            return more;
        m_inCdata = true;
        pos += 9;
        return Step::Done;
    }
    if (const int doctype = StartsWith(buf, pos, "<!DOCTYPE"); doctype != 0) {
        if (doctype < 0)
            return more;
        return Doctype(buf, pos, last);
    }
    return Step::Error;
}

// Inside a comment, a processing instruction or a CDATA section: up to its end, or as far as the
// piece allows while keeping back what may be the start of the terminator.
XmlScanner::Step XmlScanner::Skip(std::string_view buf, std::size_t& pos, bool last)
{
    const std::string_view terminator = m_inCdata ? std::string_view("]]>") : m_skipUntil;
    const std::size_t end = buf.find(terminator, pos);
    std::size_t stop = end;
    if (end == std::string_view::npos) {
        if (last)
            return Step::Error;
        stop = buf.size() - std::min(buf.size() - pos, terminator.size() - 1);
        if (m_inCdata && stop > pos && buf[stop - 1] == '\r')
            --stop;  // the LF of a CR LF may come with the next piece
    }
    if (m_inCdata && stop > pos)
        CdataText(buf.substr(pos, stop - pos));
    if (end == std::string_view::npos) {
        pos = stop;
        return Step::NeedMore;
    }
    pos = end + terminator.size();
    m_skipUntil = {};
    m_inCdata = false;
    return Step::Done;
}

void XmlScanner::CdataText(std::string_view content)
{
    if (content.find('\r') == std::string_view::npos) {
        m_handler.Text(content);
        return;
    }
    m_text.clear();
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] != '\r') {
            m_text.push_back(content[i]);
        } else {
            m_text.push_back('\n');
            if (i + 1 < content.size() && content[i + 1] == '\n')
                ++i;
        }
    }
    m_handler.Text(m_text);
}

// The document type declaration is skipped whole: its entity declarations are never used.
XmlScanner::Step XmlScanner::Doctype(std::string_view buf, std::size_t& pos, bool last)
{
    const Step more = last ? Step::Error : Step::NeedMore;
    if (m_rootSeen)
        return Step::Error;
    bool inSubset = false;
    for (std::size_t p = pos + 9; p < buf.size(); ++p) {
        const char c = buf[p];
        if (c == '"' || c == '\'') {
            const std::size_t close = buf.find(c, p + 1);
            if (close == std::string_view::npos)
                return more;
            p = close;
        } else if (c == '[') {
            inSubset = true;
        } else if (c == ']') {
            inSubset = false;
        } else if (inSubset && c == '<' && StartsWith(buf, p, "<!--") != 0) {
            const std::size_t close = buf.find("-->", p + 4);
            if (close == std::string_view::npos)
                return more;
            p = close + 2;
        } else if (c == '>' && !inSubset) {
            pos = p + 1;
            return Step::Done;
        }
    }
    return more;
}

XmlScanner::Step XmlScanner::StartTag(std::string_view buf, std::size_t& pos, bool last)
{
    const Step more = last ? Step::Error : Step::NeedMore;
    const char* const b = buf.data();
    const std::size_t n = buf.size();
    std::size_t p = pos + 1;
    if (!IsNameStart(b[p]))
        return Step::Error;
    p = NameEnd(b, p + 1, n);
    if (p == n)
        return more;
    const std::string_view name(b + pos + 1, p - pos - 1);

    m_attributes.clear();
    std::size_t needDecoding = 0;
    bool empty = false;
    for (;;) {
        const std::size_t blankAt = p;
        while (p < n && IsSpace(b[p]))
            ++p;
        if (p == n)
            return more;
        if (b[p] == '>') {
            ++p;
            break;
        }
        if (b[p] == '/') {
            if (p + 1 == n)
                return more;
            if (b[p + 1] != '>')
                return Step::Error;
            p += 2;
            empty = true;
            break;
        }
        if (p == blankAt || !IsNameStart(b[p]))
            return Step::Error;
        const std::size_t nameAt = p;
        p = NameEnd(b, p + 1, n);
        const std::string_view attributeName(b + nameAt, p - nameAt);
        while (p < n && IsSpace(b[p]))
            ++p;
        if (p == n)
            return more;
        if (b[p] != '=')
            return Step::Error;
        ++p;
        while (p < n && IsSpace(b[p]))
            ++p;
        if (p == n)
            return more;
        const char quote = b[p];
        if (quote != '"' && quote != '\'')
            return Step::Error;
        // One pass to the closing quote: a value holds no '<' whatever follows.
        std::size_t close = p + 1;
        bool decode = false;
        for (;; ++close) {
            close = ValueStop(b, close, n);
            if (close == n)
                return more;
            const char c = b[close];
            if (c == quote)
                break;
            if (c == '<')
                return Step::Error;
            decode = decode || c == '&' || c == '\t' || c == '\n' || c == '\r';
        }
        if (decode)
            ++needDecoding;
        m_attributes.push_back({attributeName, std::string_view(b + p + 1, close - p - 1)});
        p = close + 1;
    }

    if (HasDuplicateName(m_attributes, m_names))
        return Step::Error;
    if (needDecoding > 0) {
        if (m_decoded.size() < m_attributes.size())
            m_decoded.resize(m_attributes.size());
        for (std::size_t i = 0; i < m_attributes.size(); ++i) {
            if (!NeedsDecoding(m_attributes[i].Value, true))
                continue;
            if (!Decode(m_attributes[i].Value, true, m_decoded[i]))
                return Step::Error;
            m_attributes[i].Value = m_decoded[i];
        }
    }

    const std::size_t open = OpenCount();
    if (!empty && open >= MaxElementDepth)
        return Step::Error;
    if (open == 0) {
        if (m_rootSeen)
            return Step::Error;  // a second root element
        m_rootSeen = true;
    }
    const int depth = static_cast<int>(open);
    const std::string_view parent = open == 0 ? std::string_view{} : InnermostName();
    m_handler.StartElement(XmlElement{name, parent, depth, m_attributes});
    if (empty) {
        m_handler.EndElement(name, depth);
    } else {
        m_openStarts.push_back(static_cast<std::uint32_t>(m_openNames.size()));
        m_openNames.append(name);
    }
    pos = p;
    return Step::Done;
}

XmlScanner::Step XmlScanner::EndTag(std::string_view buf, std::size_t& pos, bool last)
{
    const Step more = last ? Step::Error : Step::NeedMore;
    const std::size_t n = buf.size();
    if (OpenCount() == 0)
        return Step::Error;
    // The only name that may follow is the innermost open one: compared in place, not scanned.
    const std::string_view name = InnermostName();
    std::size_t p = pos + 2;
    const std::size_t have = std::min(n - p, name.size());
    if (!SameName(buf.substr(p, have), name.substr(0, have)))
        return Step::Error;
    if (have < name.size())
        return more;
    p += name.size();
    while (p < n && IsSpace(buf[p]))
        ++p;
    if (p == n)
        return more;
    if (buf[p] != '>')
        return Step::Error;  // a longer name, or anything else
    const int depth = static_cast<int>(OpenCount()) - 1;
    m_handler.EndElement(name, depth);
    m_openNames.resize(m_openStarts.back());
    m_openStarts.pop_back();
    pos = p + 1;
    return Step::Done;
}

bool XmlScanner::CharacterData(std::string_view run, bool plain)
{
    if (OpenCount() == 0) {
        // Outside the root only white space may stand.
        return std::all_of(run.begin(), run.end(), IsSpace);
    }
    if (plain || !NeedsDecoding(run, false)) {
        m_handler.Text(run);
        return true;
    }
    if (!Decode(run, false, m_text))
        return false;
    m_handler.Text(m_text);
    return true;
}

bool XmlScanner::Decode(std::string_view raw, bool attribute, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            const std::size_t semicolon = raw.find(';', i + 1);
            if (semicolon == std::string_view::npos)
                return false;
            const std::string_view body = raw.substr(i + 1, semicolon - i - 1);
            if (body == "lt")
                out.push_back('<');
            else if (body == "gt")
                out.push_back('>');
            else if (body == "amp")
                out.push_back('&');
            else if (body == "apos")
                out.push_back('\'');
            else if (body == "quot")
                out.push_back('"');
            else if (const char32_t code = CharacterReference(body); code != 0)
                AppendUtf8(out, code);
            else
                return false;  // entities declared in a DTD are never expanded
            i = semicolon;
        } else if (c == '\r') {
            out.push_back(attribute ? ' ' : '\n');
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (attribute && (c == '\t' || c == '\n')) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return true;
}

bool XmlScanner::Finish()
{
    return m_rootSeen && OpenCount() == 0 && m_skipUntil.empty() && !m_inCdata;
}

bool ScanXmlText(std::string_view bytes, XmlHandler& handler)
{
    XmlScanner scanner(handler);
    if (const std::optional<bool> bigEndian = Utf16BigEndian(bytes)) {
        const bool mark = bytes[0] == '\xFE' || bytes[0] == '\xFF';
        return scanner.Feed(DecodeUtf16(bytes.substr(mark ? 2 : 0), *bigEndian), true);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return scanner.Feed(bytes, true);
}

bool ScanXmlFile(const std::string& path, XmlHandler& handler, std::size_t pieceBytes, std::uint64_t relayFromBytes)
{
    TextFileReader file(pieceBytes);
    if (!file.Open(path))
        return false;
    if (file.FileBytes() >= relayFromBytes) {
        if (const std::optional<bool> wellFormed = RelayXmlFile(file, handler))
            return *wellFormed;
    }
    return ScanXmlPieces(file, handler);
}

bool ScanXmlPieces(TextFileReader& file, XmlHandler& handler, const std::function<bool()>& stop)
{
    XmlScanner scanner(handler);
    // An unfinished token stays in the reader's buffer, ahead of the next piece.
    std::string_view piece;
    std::size_t held = 0;
    while (file.Next(piece, held)) {
        const std::size_t consumed = scanner.FeedHeld(piece, held, false);
        if (consumed == std::string_view::npos || (stop && stop()))
            return false;
        held = piece.size() - consumed;
    }
    return !file.Failed() && scanner.FeedHeld(piece, piece.size(), true) != std::string_view::npos;
}

}  // namespace tolvex
