#pragma once

// The configuration and every core text are 8-bit Windows ANSI (code page 1252); the window
// shows them as the characters the code page gives them, and a character typed that the code
// page lacks becomes "?".

#include <QString>
#include <string>
#include <string_view>

#include "qvx/config/text.h"

namespace qvx::ui {

inline QString ToQt(std::string_view text) {
  QString converted(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  for (qsizetype i = 0; i < converted.size(); ++i)
    converted[i] = QChar(AnsiToUnicode(static_cast<unsigned char>(text[static_cast<std::size_t>(i)])));
  return converted;
}

inline std::string FromQt(const QString& text) {
  std::string converted;
  converted.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) converted.push_back(UnicodeToAnsi(c.unicode()));
  return converted;
}

}  // namespace qvx::ui
