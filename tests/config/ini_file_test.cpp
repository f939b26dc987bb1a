#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

namespace tolvex {
namespace {

// --- values as the profile API hands them back ---------------------------------------------

struct ValueCase {
    const char* Name;
    const char* Line;      // the key line as it stands in the file
    const char* Expected;  // what a reader gets
};

class ProfileValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ProfileValue, ReadsLikeTheProfileApi)
{
    const IniFile ini = IniFile::Parse(std::string("[S]\n") + GetParam().Line + "\n");
    const auto v = ini.Find("S", "Key");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileValue,
    ::testing::Values(ValueCase{"Plain", "Key=abc", "abc"},
                      ValueCase{"BlanksAroundTrimmed", "Key=  abc def \t", "abc def"},
                      ValueCase{"BlanksAroundKeyName", "  Key  =x", "x"},
                      ValueCase{"DoubleQuotesRemoved", "Key=\"abc\"", "abc"},
                      ValueCase{"SingleQuotesRemoved", "Key='abc'", "abc"},
                      ValueCase{"BlanksInsideQuotesKept", "Key= \" abc \" ", " abc "},
                      ValueCase{"MismatchedQuotesKept", "Key=\"abc'", "\"abc'"},
                      ValueCase{"LoneQuoteKept", "Key=\"", "\""},
                      ValueCase{"OnlyOnePairRemoved", "Key=\"\"a\"\"", "\"a\""},
                      ValueCase{"SemicolonIsPartOfValue", "Key=a ; b", "a ; b"},
                      ValueCase{"EqualsInValue", "Key=a=b", "a=b"},
                      ValueCase{"Empty", "Key=", ""},
                      ValueCase{"KeyCaseIgnored", "kEY=1", "1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(IniFile, SectionsAndKeysCompareWithoutCase)
{
    const IniFile ini = IniFile::Parse("Key=outside\n[Other]\nKey=other\n[tOLVEX]\n; Key=comment\n# Key=hash\nKey=in\nKey=second\n[Tolvex]\nKey=dup\n");
    EXPECT_EQ(ini.Find("Tolvex", "key"), "in");
    EXPECT_EQ(ini.Find("TOLVEX", "KEY"), "in");
    EXPECT_EQ(ini.Find("Other", "Key"), "other");
    EXPECT_FALSE(ini.Find("Tolvex", "Missing").has_value());
    EXPECT_FALSE(ini.Find("Nowhere", "Key").has_value());
}

TEST(IniFile, ByteOrderMarkAndCrLfAccepted)
{
    const IniFile ini = IniFile::Parse("\xEF\xBB\xBF[Tolvex]\r\nA=1\r\nB = two \r\n");
    EXPECT_EQ(ini.Find("Tolvex", "A"), "1");
    EXPECT_EQ(ini.Find("Tolvex", "B"), "two");
}

TEST(IniFile, GetStringCutsToBufferAtCharacters)
{
    const IniFile ini = IniFile::Parse("[S]\nA=abcdef\nB=未命名点\n");
    EXPECT_EQ(ini.GetString("S", "A", "", 4), "abc");
    EXPECT_EQ(ini.GetString("S", "A", "", 100), "abcdef");
    EXPECT_EQ(ini.GetString("S", "B", "", 3), "未命");  // never half a character
    EXPECT_EQ(ini.GetString("S", "Missing", "default", 4), "def");
    EXPECT_EQ(ini.GetString("S", "Missing", "default", 0), "");
}

// --- integers ---------------------------------------------------------------------------

struct IntCase {
    const char* Name;
    const char* Line;  // nullptr: no key at all
    int Expected;
};

class ProfileInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ReadsLikeGetPrivateProfileInt)
{
    std::string text = "[S]\n";
    if (GetParam().Line) text += std::string(GetParam().Line) + "\n";
    EXPECT_EQ(IniFile::Parse(text).GetInt("S", "Key", 77), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileInt,
    ::testing::Values(IntCase{"Missing", nullptr, 77}, IntCase{"Empty", "Key=", 77},
                      IntCase{"Plain", "Key=42", 42}, IntCase{"LeadingBlanks", "Key=   42", 42},
                      IntCase{"Negative", "Key=-7", -7}, IntCase{"Plus", "Key=+5", 5},
                      IntCase{"StopsAtNonDigit", "Key=12.9", 12}, IntCase{"TrailingText", "Key=-3abc", -3},
                      IntCase{"NotANumber", "Key=abc", 0}, IntCase{"HexIsNotRead", "Key=0x10", 0},
                      IntCase{"SignOnly", "Key=-", 0}, IntCase{"Quoted", "Key=\"15\"", 15},
                      IntCase{"HugeHeldAtMax", "Key=99999999999999999999", INT_MAX},
                      IntCase{"HugeNegativeHeldAtMin", "Key=-99999999999999999999", INT_MIN},
                      IntCase{"IntMin", "Key=-2147483648", INT_MIN}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- reals and hexadecimal ------------------------------------------------------------------

struct RealCase {
    const char* Name;
    const char* Text;
    double Expected;  // NaN: expect NaN
};

class LeadingRealCase : public ::testing::TestWithParam<RealCase> {};

TEST_P(LeadingRealCase, ReadsLikeWtof)
{
    const double v = LeadingReal(GetParam().Text);
    if (std::isnan(GetParam().Expected))
        EXPECT_TRUE(std::isnan(v)) << v;
    else
        EXPECT_EQ(v, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingRealCase,
    ::testing::Values(RealCase{"Plain", "1.5", 1.5}, RealCase{"Fifteen", "30.500000000000000", 30.5},
                      RealCase{"BlanksAndExponent", "  -2.25e1xyz", -22.5}, RealCase{"Text", "abc", 0},
                      RealCase{"Empty", "", 0}, RealCase{"CommaIsNotAPoint", "1,5", 1},
                      RealCase{"LeadingPoint", ".25", 0.25}, RealCase{"Hex", "0x10", 16},
                      RealCase{"Nan", "nan", NAN}, RealCase{"Infinity", "-inf", -INFINITY},
                      RealCase{"InfinityWord", "Infinity", INFINITY}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(LeadingReal, IgnoresTheProcessLocale)
{
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double v = LeadingReal("2.5");
    const std::string text = FormatFixed(2.5, 3);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(v, 2.5);
    EXPECT_EQ(text, "2.500");
}

struct HexCase {
    const char* Text;
    std::uint32_t Expected;
};

class Hex32 : public ::testing::TestWithParam<HexCase> {};

TEST_P(Hex32, ReadsLikeWcstoulBase16) { EXPECT_EQ(HexValue32(GetParam().Text), GetParam().Expected); }

INSTANTIATE_TEST_SUITE_P(Cases, Hex32,
                         ::testing::Values(HexCase{"F4F3EE", 0xF4F3EE}, HexCase{"ff0000", 0xFF0000},
                                           HexCase{"  12g", 0x12}, HexCase{"0x1A", 0x1A},
                                           HexCase{"0xg", 0}, HexCase{"zz", 0}, HexCase{"", 0},
                                           HexCase{"-1", 0xFFFFFFFF}, HexCase{"FFFFFFFF", 0xFFFFFFFF},
                                           HexCase{"123456789", 0xFFFFFFFF}, HexCase{"-123456789", 0xFFFFFFFF}));

TEST(FormatFixed, MatchesPrintf)
{
    for (const double v : {0.0, -0.0, 1.0 / 3.0, 120.00000000000001, -277777.5, 1e-20, 1e20, 12.3456789, 0.5, 2.5,
                           1e300, -89.999999999999986}) {
        for (const int decimals : {6, 15}) {
            char buf[512];
            std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
            EXPECT_EQ(FormatFixed(v, decimals), buf) << v;
        }
    }
}

TEST(CutToChars, CountsCodePoints)
{
    EXPECT_EQ(CharCount("未命名,0"), 5u);
    EXPECT_EQ(CutToChars("未命名,0", 2), "未命");
    EXPECT_EQ(CutToChars("ab", 5), "ab");
    EXPECT_EQ(CutToChars("ab", 0), "");
}

// --- writing -----------------------------------------------------------------------------

TEST(IniFileSet, ReplacesInPlaceAndKeepsEverythingElse)
{
    const std::string text =
        "; my settings\n[Other]\nLatitude=keep\n\n[tolvex]\n  latitude = 1 ; note\nB=2\n; tail comment\n\n[Last]\nX=y\n";
    IniFile ini = IniFile::Parse(text);
    ini.Set("Tolvex", "Latitude", "5");
    EXPECT_EQ(ini.Serialize(),
              "; my settings\n[Other]\nLatitude=keep\n\n[tolvex]\nlatitude=5\nB=2\n; tail comment\n\n[Last]\nX=y\n");
}

TEST(IniFileSet, AppendsAfterTheLastKeyOfTheSection)
{
    IniFile ini = IniFile::Parse("[Tolvex]\nA=1\n\n; about Last\n[Last]\nX=y\n");
    ini.Set("Tolvex", "New", "v");
    EXPECT_EQ(ini.Serialize(), "[Tolvex]\nA=1\nNew=v\n\n; about Last\n[Last]\nX=y\n");
}

TEST(IniFileSet, AddsTheSectionAtTheEnd)
{
    IniFile empty;
    empty.Set("Tolvex", "A", "1");
    empty.Set("Tolvex", "B", "2");
    EXPECT_EQ(empty.Serialize(), "[Tolvex]\nA=1\nB=2\n");

    IniFile other = IniFile::Parse("[Other]\nX=y");  // no final line end
    other.Set("Tolvex", "A", "1");
    EXPECT_EQ(other.Serialize(), "[Other]\nX=y\n\n[Tolvex]\nA=1\n");
}

TEST(IniFileSet, UntouchedTextSurvivesWithItsLineEndsAndMark)
{
    const std::string crlf = "\xEF\xBB\xBF; c\r\n[Tolvex]\r\nA=1\r\n";
    EXPECT_EQ(IniFile::Parse(crlf).Serialize(), crlf);
    IniFile ini = IniFile::Parse(crlf);
    ini.Set("Tolvex", "B", "2");
    EXPECT_EQ(ini.Serialize(), "\xEF\xBB\xBF; c\r\n[Tolvex]\r\nA=1\r\nB=2\r\n");
}

TEST(IniFileSet, EveryValueReadsBackUnchanged)
{
    for (const char* value : {"plain", "", " lead", "trail ", " both ", "\"quoted\"", "'single'", "\"half", "a\"b\"",
                              "'", "\t", "x=y;z", "未命名,1,2"}) {
        IniFile ini;
        ini.Set("S", "Key", value);
        EXPECT_EQ(IniFile::Parse(ini.Serialize()).Find("S", "Key"), value) << '[' << value << ']';
    }
}

TEST(IniFileSet, LineBreaksInAValueCannotAddKeys)
{
    IniFile ini;
    ini.Set("S", "Key", "a\nEvil=1\r\n[X]");
    const IniFile back = IniFile::Parse(ini.Serialize());
    EXPECT_EQ(back.Find("S", "Key"), "a Evil=1  [X]");
    EXPECT_FALSE(back.Find("S", "Evil").has_value());
}

}  // namespace
}  // namespace tolvex
