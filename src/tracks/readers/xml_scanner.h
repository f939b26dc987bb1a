#pragma once
// A streaming XML scanner for the GPX and KML readers: the document is read in chunks and told to
// a handler as start tags, end tags and text, in document order, so a 100 MB file never sits in
// memory whole. It checks well-formedness (one root, matching tags, quoted attributes, no
// duplicate attribute, known character references) and never expands entities declared in a
// DTD: a reference to one makes the document unreadable, so nothing is fetched and nothing can
// grow beyond the file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tracks/track_store.h"

namespace tolvex {

class TextFileReader;

struct XmlAttribute {
    std::string_view Name;   // qualified name as written ("lat", "xmlns:gpxx")
    std::string_view Value;  // references decoded, white space normalised to blanks
};

// What the handler learns about an element. Views are valid during the call only.
struct XmlElement {
    std::string_view Name;    // qualified name as written: prefixes are part of it
    std::string_view Parent;  // the enclosing element's name; empty for the root
    int Depth = 0;            // 0 for the root
    std::span<const XmlAttribute> Attributes;
};

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void StartElement(const XmlElement& element) = 0;
    virtual void EndElement(std::string_view name, int depth) = 0;
    // Character data of the innermost open element, line ends normalised to LF; one text node
    // may arrive in several pieces.
    virtual void Text(std::string_view text) = 0;
    // The encoding named by the XML declaration, when there is one.
    virtual void Declaration(std::string_view /*encoding*/) {}
    // The whole document was scanned and is well-formed; utf8 tells whether all its bytes were
    // UTF-8 (after any UTF-16 decoding).
    virtual void EndDocument(bool /*utf8*/) {}
};

class XmlScanner {
public:
    explicit XmlScanner(XmlHandler& handler) : m_handler(handler) {}

    // Scans the next piece of the document; last marks the end of the input. False as soon as
    // the document is found not to be well-formed (later calls keep returning false).
    bool Feed(std::string_view bytes, bool last);
    // The same for a caller that holds what a call left unscanned: text begins with those held
    // bytes and goes on with new ones. Returns how many bytes of text were scanned (the caller
    // keeps the rest for the next call), or npos once the document is not well-formed.
    std::size_t FeedHeld(std::string_view text, std::size_t held, bool last);
    // Bytes held back from the last piece because a token was still open.
    std::size_t Pending() const { return m_carry.size(); }
    // Whether every byte fed so far is UTF-8 (a sequence cut at the end of a piece still counts).
    bool ValidUtf8() const { return m_utf8Valid; }

private:
    enum class Step { Done, NeedMore, Error };

    std::size_t Scan(std::string_view buf, bool last);
    Step Markup(std::string_view buf, std::size_t& pos, bool last);
    Step StartTag(std::string_view buf, std::size_t& pos, bool last);
    Step EndTag(std::string_view buf, std::size_t& pos, bool last);
    Step Doctype(std::string_view buf, std::size_t& pos, bool last);
    Step Skip(std::string_view buf, std::size_t& pos, bool last);
    void CdataText(std::string_view content);
    // plain: the caller has seen that the run holds no reference and no CR.
    bool CharacterData(std::string_view run, bool plain = false);
    bool Decode(std::string_view raw, bool attribute, std::string& out);
    bool Finish();
    void CheckUtf8(std::string_view bytes);
    std::size_t OpenCount() const { return m_openStarts.size(); }
    std::string_view InnermostName() const
    {
        return std::string_view(m_openNames).substr(m_openStarts.back());
    }

    XmlHandler& m_handler;
    std::string m_carry;                    // unscanned tail of the previous piece
    // Names of the open elements, root first, end to end in one string: no allocation per element.
    std::string m_openNames;
    std::vector<std::uint32_t> m_openStarts;  // where each name begins in m_openNames
    std::vector<XmlAttribute> m_attributes;
    std::vector<std::string> m_decoded;     // attribute values that needed decoding
    std::vector<std::string_view> m_names;  // attribute names, sorted for the duplicate check
    std::string m_text;
    std::string_view m_skipUntil;  // the end of the comment or instruction being skipped
    bool m_inCdata = false;
    bool m_started = false;  // something has been scanned: a declaration now would be misplaced
    bool m_rootSeen = false;
    bool m_failed = false;
    bool m_finished = false;
    bool m_utf8Valid = true;
    int m_utf8Pending = 0;  // continuation bytes still due
};

// A whole document from memory or from a file read in chunks. A UTF-8 byte-order mark is
// skipped and a UTF-16 one decodes the rest, as does a UTF-16 start without one ("<?" in either
// byte order, as a DOM parser detects it); other encodings pass through byte for byte (the
// markup of the encodings in use for track files is ASCII). False when the file cannot be read
// or is not well-formed.
bool ScanXmlText(std::string_view bytes, XmlHandler& handler);
// The file is read pieceBytes at a time; one of relayFromBytes or more is scanned on a thread of
// its own, its events handed to the handler on this one (xml_relay.h).
inline constexpr std::uint64_t RelayXmlFromBytes = std::uint64_t{4} << 20;
bool ScanXmlFile(const std::string& path, XmlHandler& handler, std::size_t pieceBytes = std::size_t{1} << 20,
                 std::uint64_t relayFromBytes = RelayXmlFromBytes);
// An opened file scanned in place to its end; stop, asked between pieces, ends the scan early
// (false, as for a document that is not well-formed).
bool ScanXmlPieces(TextFileReader& file, XmlHandler& handler, const std::function<bool()>& stop = {});

// Exact equality of names, in place: most are a few bytes, for which a library call costs more.
inline bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// ASCII case-insensitive equality, as the DOM's child-name comparisons use.
inline bool SameNameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Text of a document in the given encoding as UTF-8. The markup, numbers and times of the
// encodings in use are ASCII and pass through the scanner as they are; names are converted
// with this. Text that does not convert is returned as it is.
std::string TextToUtf8(std::string_view text, std::string_view encoding);

// The encoding names are read in: the declared one, or, without a declaration, GB18030 for a
// document that is not UTF-8 (what Chinese Windows programs write), else UTF-8 (empty).
std::string DocumentEncoding(std::string_view declared, bool utf8);

// The segment names of a track, kept as the document wrote them, as UTF-8.
std::optional<BuiltTrack> NamesToUtf8(std::optional<BuiltTrack> track, std::string_view encoding);

}  // namespace tolvex
