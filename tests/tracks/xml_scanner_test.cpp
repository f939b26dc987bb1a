#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "temp_file.h"
#include "tracks/readers/xml_scanner.h"

namespace tolvex {
namespace {

// Writes every event as one line; adjacent text pieces are merged so that splitting the input
// differently gives the same log.
class Recorder : public XmlHandler {
public:
    void StartElement(const XmlElement& e) override
    {
        Flush();
        std::string line = "S " + std::string(e.Name) + " in '" + std::string(e.Parent) + "' at " + std::to_string(e.Depth);
        for (const XmlAttribute& a : e.Attributes)
            line += " " + std::string(a.Name) + "=[" + std::string(a.Value) + "]";
        Log.push_back(line);
    }
    void EndElement(std::string_view name, int depth) override
    {
        Flush();
        Log.push_back("E " + std::string(name) + " at " + std::to_string(depth));
    }
    void Text(std::string_view text) override { m_text += text; }
    std::vector<std::string> Done()
    {
        Flush();
        return Log;
    }
    std::vector<std::string> Log;

private:
    void Flush()
    {
        if (!m_text.empty())
            Log.push_back("T [" + m_text + "]");
        m_text.clear();
    }
    std::string m_text;
};

struct WellFormedCase {
    const char* Name;
    std::string Document;
    bool WellFormed;
};

class XmlWellFormed : public ::testing::TestWithParam<WellFormedCase> {};

TEST_P(XmlWellFormed, AcceptsOnlyWellFormedDocuments)
{
    Recorder recorder;
    EXPECT_EQ(ScanXmlText(GetParam().Document, recorder), GetParam().WellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlWellFormed,
    ::testing::Values(
        WellFormedCase{"EmptyElement", "<a/>", true},
        WellFormedCase{"DeclarationCommentsAndPi", "<?xml version='1.0'?>\n<!-- c --><a><?pi x?></a>\n<!-- end -->", true},
        WellFormedCase{"DoctypeBeforeRoot", "<!DOCTYPE a [<!ENTITY e 'x>y'>]><a/>", true},
        WellFormedCase{"CdataInRoot", "<a><![CDATA[<b>&]]></a>", true},
        WellFormedCase{"BlanksAroundEndTagName", "<a></a >", true},
        WellFormedCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF<a/>", true},
        WellFormedCase{"NothingAtAll", "", false},
        WellFormedCase{"OnlyBlanks", " \n\t", false},
        WellFormedCase{"UnclosedRoot", "<a>", false},
        WellFormedCase{"MismatchedEnd", "<a></b>", false},
        WellFormedCase{"TwoRoots", "<a/><b/>", false},
        WellFormedCase{"TextBeforeRoot", "x<a/>", false},
        WellFormedCase{"TextAfterRoot", "<a/>x", false},
        WellFormedCase{"DuplicateAttribute", "<a x='1' x='2'/>", false},
        WellFormedCase{"UnquotedAttribute", "<a x=1/>", false},
        WellFormedCase{"AttributesWithoutBlank", "<a x='1'y='2'/>", false},
        WellFormedCase{"LessThanInAttribute", "<a x='<'/>", false},
        WellFormedCase{"NameStartsWithDigit", "<1a/>", false},
        WellFormedCase{"UnknownEntity", "<a>&e;</a>", false},
        WellFormedCase{"DeclaredEntityIsNotExpanded", "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", false},
        WellFormedCase{"NulCharacterReference", "<a>&#0;</a>", false},
        WellFormedCase{"SurrogateCharacterReference", "<a>&#xD800;</a>", false},
        WellFormedCase{"UnterminatedReference", "<a>&amp</a>", false},
        WellFormedCase{"CdataOutsideRoot", "<![CDATA[x]]><a/>", false},
        WellFormedCase{"DoctypeAfterRoot", "<a/><!DOCTYPE a>", false},
        WellFormedCase{"UnterminatedComment", "<a><!-- c </a>", false},
        WellFormedCase{"UnterminatedCommentAfterRoot", "<a/><!-- c", false},
        WellFormedCase{"UnterminatedCdata", "<a><![CDATA[x</a>", false},
        WellFormedCase{"ManyAttributes", [] {
                           std::string s = "<a";
                           for (int i = 0; i < 100; ++i) s += " n" + std::to_string(i) + "='1'";
                           return s + "/>";
                       }(), true},
        WellFormedCase{"DuplicateAmongManyAttributes", [] {
                           std::string s = "<a";
                           for (int i = 0; i < 100; ++i) s += " n" + std::to_string(i) + "='1'";
                           return s + " n57='2'/>";
                       }(), false},
        WellFormedCase{"UnknownDeclaration", "<a><!ELEMENT a ANY></a>", false},
        WellFormedCase{"Depth256", [] {
                           std::string s;
                           for (int i = 0; i < 256; ++i) s += "<e>";
                           for (int i = 0; i < 256; ++i) s += "</e>";
                           return s;
                       }(), true},
        WellFormedCase{"Depth257", [] {
                           std::string s;
                           for (int i = 0; i < 257; ++i) s += "<e>";
                           for (int i = 0; i < 257; ++i) s += "</e>";
                           return s;
                       }(), false}),
    [](const ::testing::TestParamInfo<WellFormedCase>& info) { return std::string(info.param.Name); });

const std::string Sample =
    "<?xml version=\"1.0\"?>\r\n<!DOCTYPE g [<!ENTITY u \"]>\">]>\r\n"
    "<g xmlns:x=\"urn:x\">\r\n  <x:t a=\"1 &amp; &#65;&#x42;\tz\" b='\"'>one &lt; two\r\nnext\rlast</x:t>"
    "<e/><![CDATA[raw & <kept>\r\n]]><!-- skipped --><z >&#x4E2D;</z></g>\r\n";

std::vector<std::string> Expected()
{
    return {"S g in '' at 0 xmlns:x=[urn:x]",
            "T [\n  ]",
            "S x:t in 'g' at 1 a=[1 & AB z] b=[\"]",
            "T [one < two\nnext\nlast]",
            "E x:t at 1",
            "S e in 'g' at 1",
            "E e at 1",
            "T [raw & <kept>\n]",
            "S z in 'g' at 1",
            "T [\xE4\xB8\xAD]",
            "E z at 1",
            "E g at 0"};
}

TEST(XmlScanner, DecodesReferencesAndNormalisesLineEnds)
{
    Recorder recorder;
    ASSERT_TRUE(ScanXmlText(Sample, recorder));
    EXPECT_EQ(recorder.Done(), Expected());
}

TEST(XmlScanner, AnySplitIntoTwoPiecesGivesTheSameEvents)
{
    for (std::size_t cut = 0; cut <= Sample.size(); ++cut) {
        Recorder recorder;
        XmlScanner scanner(recorder);
        ASSERT_TRUE(scanner.Feed(std::string_view(Sample).substr(0, cut), false)) << "cut at " << cut;
        ASSERT_TRUE(scanner.Feed(std::string_view(Sample).substr(cut), true)) << "cut at " << cut;
        EXPECT_EQ(recorder.Done(), Expected()) << "cut at " << cut;
    }
}

TEST(XmlScanner, ByteByByteGivesTheSameEvents)
{
    Recorder recorder;
    XmlScanner scanner(recorder);
    for (char c : Sample)
        ASSERT_TRUE(scanner.Feed(std::string_view(&c, 1), false));
    ASSERT_TRUE(scanner.Feed({}, true));
    EXPECT_EQ(recorder.Done(), Expected());

    // From a file in small pieces, where an unfinished token waits in the reader's buffer; scanned
    // on this thread and on a thread of its own.
    const test::TempFile file(".xml", Sample);
    for (std::uint64_t relayFrom : {RelayXmlFromBytes, std::uint64_t{0}}) {
        for (std::size_t piece : {1, 2, 3, 7}) {
            Recorder fromFile;
            ASSERT_TRUE(ScanXmlFile(file.Path(), fromFile, piece, relayFrom)) << "piece " << piece;
            EXPECT_EQ(fromFile.Done(), Expected()) << "piece " << piece << " relayed from " << relayFrom;
        }
    }
}

// A document scanned on a thread of its own gives its handler the same calls as one scanned on
// the handler's thread: across many blocks of events, with an event larger than a block, and up
// to the point where a broken document fails.
TEST(XmlScanner, RelayedScanGivesTheSameEvents)
{
    std::string big = "<?xml version='1.0' encoding='GB2312'?><gpx>";
    for (int i = 0; i < 60000; ++i)
        big += "<trkpt lat='" + std::to_string(i) + "' lon='2'><ele>1&amp;" + std::to_string(i) + "</ele></trkpt>\n";
    big += "<x a='" + std::string(700000, 'v') + "'>" + std::string(900000, 't') + "</x></gpx>";
    const struct {
        const char* Name;
        std::string Document;
        bool WellFormed;
    } cases[] = {
        {"sample", Sample, true},
        {"many blocks and a large event", big, true},
        {"broken after many blocks", big.substr(0, big.size() / 2) + "</y>" + big.substr(big.size() / 2), false},
        {"cut short", big.substr(0, big.size() - 3), false},
    };
    // The declaration and the document's end are told too.
    struct WholeRecorder : Recorder {
        void Declaration(std::string_view encoding) override { Log.push_back("D " + std::string(encoding)); }
        void EndDocument(bool utf8) override
        {
            Done();
            Log.push_back(utf8 ? "F utf8" : "F bytes");
        }
    };
    for (const auto& c : cases) {
        const test::TempFile file(".xml", c.Document);
        WholeRecorder direct, relayed;
        EXPECT_EQ(ScanXmlFile(file.Path(), direct, 1 << 16, UINT64_MAX), c.WellFormed) << c.Name;
        EXPECT_EQ(ScanXmlFile(file.Path(), relayed, 1 << 16, 0), c.WellFormed) << c.Name;
        EXPECT_EQ(relayed.Done(), direct.Done()) << c.Name;
    }

    // A handler that fails stops the scan: its exception comes out of the call, nothing hangs.
    struct Failing : Recorder {
        void StartElement(const XmlElement& e) override
        {
            if (++Count == 50000)
                throw std::bad_alloc();
            Recorder::StartElement(e);
        }
        int Count = 0;
    } failing;
    const test::TempFile file(".xml", big);
    EXPECT_THROW(ScanXmlFile(file.Path(), failing, 1 << 16, 0), std::bad_alloc);
    EXPECT_EQ(failing.Count, 50000);
}

TEST(XmlScanner, EveryCutOfTheDocumentIsRefused)
{
    const std::string document = Sample.substr(0, Sample.rfind("</g>") + 4);
    for (std::size_t length = 0; length < document.size(); ++length) {
        Recorder recorder;
        EXPECT_FALSE(ScanXmlText(document.substr(0, length), recorder)) << "length " << length;
    }
}

TEST(XmlScanner, Utf16DocumentsDecode)
{
    const std::string utf8 = "<a n=\"\xE4\xB8\xAD\">x</a>";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char c : std::string("<a n=\"")) le += {c, '\0'}, be += {'\0', c};
    le += "\x2D\x4E", be += "\x4E\x2D";  // U+4E2D
    for (char c : std::string("\">x</a>")) le += {c, '\0'}, be += {'\0', c};
    Recorder fromUtf8, fromLe, fromBe;
    ASSERT_TRUE(ScanXmlText(utf8, fromUtf8));
    ASSERT_TRUE(ScanXmlText(le, fromLe));
    ASSERT_TRUE(ScanXmlText(be, fromBe));
    EXPECT_EQ(fromLe.Done(), fromUtf8.Done());
    EXPECT_EQ(fromBe.Done(), fromUtf8.Log);
}

TEST(XmlScanner, LongCommentsAndCdataAreNotHeld)
{
    Recorder recorder;
    XmlScanner scanner(recorder);
    ASSERT_TRUE(scanner.Feed("<a><!--", false));
    const std::string piece(1 << 16, '-');
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(scanner.Feed(piece, false));
        ASSERT_LT(scanner.Pending(), 16u);
    }
    ASSERT_TRUE(scanner.Feed("-><![CDATA[", false));
    for (int i = 0; i < 64; ++i) {
        ASSERT_TRUE(scanner.Feed(std::string(1000, 'x') + "]", false));
        ASSERT_LT(scanner.Pending(), 16u);
    }
    ASSERT_TRUE(scanner.Feed("]></a>", true));
    const std::vector<std::string> log = recorder.Done();
    ASSERT_EQ(log.size(), 3u);
    std::string content;
    for (int i = 0; i < 64; ++i)
        content += std::string(1000, 'x') + "]";
    content.pop_back();  // the last one belongs to the terminator
    EXPECT_EQ(log[1], "T [" + content + "]");
}

TEST(XmlScanner, FailureSticks)
{
    Recorder recorder;
    XmlScanner scanner(recorder);
    EXPECT_FALSE(scanner.Feed("<a></b>", false));
    EXPECT_FALSE(scanner.Feed("<a/>", true));
}

}  // namespace
}  // namespace tolvex
