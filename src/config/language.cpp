#include "config/language.h"

#include <cctype>

namespace tolvex {
namespace {

// The language part of a locale name: "en" of "en_US.UTF-8@euro", lower case.
std::string_view LanguagePart(std::string_view name)
{
    const std::size_t end = name.find_first_of("_-.@");
    return name.substr(0, end);
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::optional<WindowLanguage> ParseWindowLanguage(std::string_view name)
{
    const std::string_view language = LanguagePart(name);
    if (EqualNoCase(language, "zh")) return WindowLanguage::Chinese;
    if (EqualNoCase(language, "en")) return WindowLanguage::English;
    return std::nullopt;
}

const char* WindowLanguageName(WindowLanguage language)
{
    return language == WindowLanguage::English ? "en" : "zh_CN";
}

WindowLanguage LocaleWindowLanguage(const char* lcAll, const char* lcMessages, const char* lang)
{
    const char* locale = nullptr;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            locale = value;
            break;
        }
    }
    if (!locale) return WindowLanguage::Chinese;
    const std::string_view name = locale;
    if (name == "C" || name == "POSIX" || LanguagePart(name) == "C") return WindowLanguage::Chinese;
    return ParseWindowLanguage(name).value_or(WindowLanguage::English);
}

WindowLanguage ChooseWindowLanguage(std::optional<WindowLanguage> option, std::string_view setting,
                                    WindowLanguage locale)
{
    if (option) return *option;
    return ParseWindowLanguage(setting).value_or(locale);
}

}  // namespace tolvex
