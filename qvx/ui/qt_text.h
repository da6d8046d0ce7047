#pragma once

// The configuration and every core text are 8-bit Windows ANSI; the window shows them as
// Latin-1, which keeps every byte as it is on the way back.

#include <QString>
#include <string>
#include <string_view>

namespace qvx::ui {

inline QString ToQt(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace qvx::ui
