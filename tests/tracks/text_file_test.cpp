#include "tracks/text_file.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>

#include "temp_file.h"

namespace tolvex {
namespace {

using test::TempFile;

TEST(SplitFields, KeepsEmptyFields)
{
    struct Case {
        std::string_view text;
        std::vector<std::string_view> fields;
    } cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {"a,,b", {"a", "", "b"}},
        {",", {"", ""}},
        {"a,b,", {"a", "b", ""}},
        {" 48.1 , 11.5", {" 48.1 ", " 11.5"}},
        {"a,b,c,d", {"a", "b", "c"}},  // only as many as asked for
    };
    for (const Case& c : cases) {
        std::array<std::string_view, 3> fields;
        const std::size_t count = SplitFields(c.text, ',', fields);
        EXPECT_EQ(std::vector<std::string_view>(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(count)),
                  c.fields)
            << c.text;
    }
}

struct NumberCase {
    const char* text;
    double real;
    int integer;
};

class LeadingNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumbers, ReadAsTheCLibraryDoes)
{
    const NumberCase& c = GetParam();
    EXPECT_DOUBLE_EQ(LeadingDouble(c.text), c.real) << c.text;
    EXPECT_EQ(LeadingInt(c.text), c.integer) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, LeadingNumbers,
                         ::testing::Values(NumberCase{"", 0, 0}, NumberCase{"abc", 0, 0}, NumberCase{"  12.5xyz", 12.5, 12},
                                         NumberCase{"-0.75", -0.75, 0}, NumberCase{"+3", 3, 3},
                                         NumberCase{"\t-777", -777, -777}, NumberCase{".5", 0.5, 0},
                                         NumberCase{"5.", 5, 5}, NumberCase{"1e3", 1000, 1},
                                         NumberCase{"1e", 1, 1}, NumberCase{"2E-2x", 0.02, 2},
                                         NumberCase{"-", 0, 0}, NumberCase{".", 0, 0},
                                         NumberCase{"99999999999", 99999999999.0, 2147483647},
                                         NumberCase{"-99999999999", -99999999999.0, -2147483647 - 1},
                                         NumberCase{"40097.5000000", 40097.5, 40097}));

TEST(LeadingNumbers, CountTheCharactersTheyTook)
{
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"  12.5xyz", 6}, {"\t-777,", 5}, {"1e", 1}, {"2E-2x", 4}, {"1e999", 5}, {".5,", 2}, {"-", 0}, {"abc", 0}, {"", 0},
    };
    for (const auto& [text, expected] : cases) {
        std::size_t used = 99;
        EXPECT_EQ(LeadingDouble(text, used), LeadingDouble(text)) << text;
        EXPECT_EQ(used, expected) << text;
    }
}

TEST(LeadingNumbers, OverflowAndUnderflowLikeStrtod)
{
    EXPECT_EQ(LeadingDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(LeadingDouble("-1e999"), -HUGE_VAL);
    EXPECT_EQ(LeadingDouble("1e-999"), 0);
}

// Coordinates of every length and precision read to the same bits as strtod gives.
TEST(LeadingNumbers, DecimalsReadToTheNearestDouble)
{
    std::mt19937_64 random(7);
    for (int n = 0; n < 20000; ++n) {
        const int whole = static_cast<int>(random() % 8);
        const int fraction = static_cast<int>(random() % 18);
        std::string text = random() % 2 ? "-" : "";
        for (int i = 0; i < whole; ++i) text += static_cast<char>('0' + random() % 10);
        text += '.';
        for (int i = 0; i < fraction; ++i) text += static_cast<char>('0' + random() % 10);
        if (whole + fraction == 0) continue;
        const double expected = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(LeadingDouble(text)), std::bit_cast<std::uint64_t>(expected)) << text;
    }
}

TEST(LineReader, SplitsOnLineFeedAndDropsCarriageReturn)
{
    struct Case {
        std::string_view text;
        std::vector<std::string_view> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n", {""}},
    };
    for (const Case& c : cases) {
        LineReader reader(c.text);
        std::vector<std::string_view> lines;
        std::string_view line;
        while (reader.Next(line))
            lines.push_back(line);
        EXPECT_EQ(lines, c.lines) << c.text;

        // From a file in pieces of one and two bytes, the same lines.
        TempFile file(".txt", std::string(c.text));
        for (std::size_t piece : {1, 2}) {
            FileLines fileLines(piece);
            ASSERT_TRUE(fileLines.Open(file.Path()));
            std::vector<std::string> got;
            while (fileLines.Next(line))
                got.emplace_back(line);
            EXPECT_EQ(got, std::vector<std::string>(c.lines.begin(), c.lines.end())) << c.text << " piece " << piece;
        }
    }
}

TEST(FileLines, CutsOverlongLinesAndSkipsTheirRest)
{
    TempFile file(".txt", "abcdefgh\nxy\n0123456789");
    FileLines lines(3, 4);
    ASSERT_TRUE(lines.Open(file.Path()));
    std::vector<std::string> got;
    std::string_view line;
    while (lines.Next(line))
        got.emplace_back(line);
    EXPECT_EQ(got, (std::vector<std::string>{"abcd", "xy", "0123"}));
}

TEST(ReadTextFile, DecodesByteOrderMarks)
{
    const std::string expected = "纬度 1\r\n\xF0\x9F\x98\x80";  // a character beyond the BMP too
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"plain", expected},
        {"utf8 bom", "\xEF\xBB\xBF" + expected},
        {"utf16 le", std::string("\xFF\xFE\xAC\x7E\xA6\x5E\x20\x00\x31\x00\x0D\x00\x0A\x00\x3D\xD8\x00\xDE", 18)},
        {"utf16 be", std::string("\xFE\xFF\x7E\xAC\x5E\xA6\x00\x20\x00\x31\x00\x0D\x00\x0A\xD8\x3D\xDE\x00", 18)},
    };
    for (const Case& c : cases) {
        TempFile file(".txt", c.bytes);
        const auto text = ReadTextFile(file.Path());
        ASSERT_TRUE(text) << c.name;
        EXPECT_EQ(*text, expected) << c.name;
        // Pieces that split the mark, a code unit or a surrogate pair decode the same.
        for (std::size_t piece : {1, 2, 3, 5}) {
            TextFileReader reader(piece);
            ASSERT_TRUE(reader.Open(file.Path()));
            std::string joined;
            std::string_view got;
            while (reader.Next(got))
                joined += got;
            EXPECT_EQ(joined, expected) << c.name << " piece " << piece;
            // Lines held across pieces in the reader's buffer, decoded or not.
            FileLines lines(piece);
            ASSERT_TRUE(lines.Open(file.Path()));
            std::vector<std::string> gotLines;
            std::string_view line;
            while (lines.Next(line))
                gotLines.emplace_back(line);
            EXPECT_EQ(gotLines, (std::vector<std::string>{"纬度 1", "\xF0\x9F\x98\x80"})) << c.name << " piece " << piece;
        }
    }
}

TEST(ReadTextFile, LoneSurrogatesAndOddBytesStayWellFormed)
{
    TempFile file(".txt", std::string("\xFF\xFE\x00\xD8\x41\x00\x42", 7));
    const auto text = ReadTextFile(file.Path());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "\xEF\xBF\xBD" "A");
}

TEST(ReadTextFile, MissingFileOrFolderGivesNothing)
{
    EXPECT_FALSE(ReadTextFile("/nonexistent/tolvex/track.plt"));
    EXPECT_FALSE(ReadTextFile("/tmp"));
    EXPECT_FALSE(ReadTextFile("/dev/zero"));  // would never end
}

}  // namespace
}  // namespace tolvex
