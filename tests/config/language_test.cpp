#include "config/language.h"

#include <gtest/gtest.h>

namespace tolvex {
namespace {

constexpr auto Zh = WindowLanguage::Chinese;
constexpr auto En = WindowLanguage::English;

struct LocaleCase {
    const char* Name;
    const char* LcAll;
    const char* LcMessages;
    const char* Lang;
    WindowLanguage Expected;
};

class LocaleLanguageTest : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleLanguageTest, Picks)
{
    const LocaleCase& c = GetParam();
    EXPECT_EQ(LocaleWindowLanguage(c.LcAll, c.LcMessages, c.Lang), c.Expected);
}

constexpr LocaleCase LocaleCases[] = {
    {"NothingSetIsTheSourceLanguage", nullptr, nullptr, nullptr, Zh},
    {"EmptyValuesAreUnset", "", "", "", Zh},
    {"PlainC", nullptr, nullptr, "C", Zh},
    {"CUtf8", nullptr, nullptr, "C.UTF-8", Zh},
    {"Posix", nullptr, "POSIX", "en_US.UTF-8", Zh},
    {"EnglishLang", nullptr, nullptr, "en_US.UTF-8", En},
    {"ChineseLang", nullptr, nullptr, "zh_CN.UTF-8", Zh},
    {"TaiwanIsChinese", nullptr, nullptr, "zh_TW", Zh},
    {"MessagesOverLang", nullptr, "en_GB.UTF-8", "zh_CN.UTF-8", En},
    {"AllOverMessages", "zh_CN.UTF-8", "en_GB.UTF-8", "en_GB.UTF-8", Zh},
    {"OtherLanguagesReadEnglish", nullptr, nullptr, "de_DE.UTF-8@euro", En},
};
INSTANTIATE_TEST_SUITE_P(Variables, LocaleLanguageTest, testing::ValuesIn(LocaleCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(WindowLanguageTest, OptionOverSettingOverLocale)
{
    EXPECT_EQ(ChooseWindowLanguage(En, "zh_CN", Zh), En);
    EXPECT_EQ(ChooseWindowLanguage(std::nullopt, "en", Zh), En);
    EXPECT_EQ(ChooseWindowLanguage(std::nullopt, "zh_CN", En), Zh);
    // An empty or unknown setting follows the locale.
    EXPECT_EQ(ChooseWindowLanguage(std::nullopt, "", En), En);
    EXPECT_EQ(ChooseWindowLanguage(std::nullopt, "klingon", En), En);
    EXPECT_FALSE(ParseWindowLanguage("e"));
    EXPECT_STREQ(WindowLanguageName(*ParseWindowLanguage(WindowLanguageName(Zh))), "zh_CN");
    EXPECT_STREQ(WindowLanguageName(*ParseWindowLanguage(WindowLanguageName(En))), "en");
}

}  // namespace
}  // namespace tolvex
