#include "sim/texts.h"

namespace {
Texts::Lookup g_lookup = nullptr;
}

void Texts::SetLookup(Lookup lookup) { g_lookup = lookup; }

std::string Texts::tr(const char* source)
{
    if (!g_lookup) return source;
    std::string text = g_lookup(source);
    return text.empty() ? std::string(source) : text;
}
