#pragma once
// The core speaks UTF-8; Qt speaks QString.

#include <QString>

#include <string>

#include "sim/texts.h"

namespace tolvex {

inline QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// A text of the core, or of a table marked with Texts::Mark, in the window's language.
inline QString CoreText(const char* source) { return FromUtf8(Texts::tr(source)); }

}  // namespace tolvex
