#pragma once
// The window's language: Chinese (the language its texts are written in) or English.

#include <optional>
#include <string_view>

namespace tolvex {

enum class WindowLanguage { Chinese, English };

// "en" or "zh_CN", as --lang and the Language key take them; a locale name such as
// "en_GB.UTF-8" or "zh_TW" reads by its language. Nothing for another language or an empty text.
std::optional<WindowLanguage> ParseWindowLanguage(std::string_view name);
const char* WindowLanguageName(WindowLanguage language);

// The language of the messages locale as the C library picks it (LC_ALL, else LC_MESSAGES, else
// LANG; any may be null): Chinese for a Chinese locale and for "C", "POSIX" or none, English for
// any other language, English being the only other one the window speaks.
WindowLanguage LocaleWindowLanguage(const char* lcAll, const char* lcMessages, const char* lang);

// --lang when given, else the settings' Language when it names one, else the locale.
WindowLanguage ChooseWindowLanguage(std::optional<WindowLanguage> option, std::string_view setting,
                                    WindowLanguage locale);

}  // namespace tolvex
