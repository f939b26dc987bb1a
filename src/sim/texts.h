#pragma once
// The texts the core shows through the host are written in Chinese, the source language. A host
// that speaks another language installs a lookup once at start; without one every text stays as
// written (the command line and the tests).

#include <string>

// Outside the namespace so that the translation tools give every text the same context, "Texts".
struct Texts {
    // Gives the text in the host's language, or nothing to keep the source text.
    using Lookup = std::string (*)(const char* source);
    static void SetLookup(Lookup lookup);

    // The text as the user reads it; the translation tools collect every literal passed here.
    static std::string tr(const char* source);
    // Marks a table's literal for the translation tools; its user looks it up with tr().
    static constexpr const char* Mark(const char* source) { return source; }
};
