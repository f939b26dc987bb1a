#pragma once
// The core speaks UTF-8; Qt speaks QString.

#include <QString>

#include <string>

namespace tolvex {

inline QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace tolvex
