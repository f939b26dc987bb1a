#include <gtest/gtest.h>

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

    // From a file in small pieces, where an unfinished token waits in the reader's buffer.
    const test::TempFile file(".xml", Sample);
    for (std::size_t piece : {1, 2, 3, 7}) {
        Recorder fromFile;
        ASSERT_TRUE(ScanXmlFile(file.Path(), fromFile, piece)) << "piece " << piece;
        EXPECT_EQ(fromFile.Done(), Expected()) << "piece " << piece;
    }
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
