// Strings cross into Qt as Latin-1, never through the locale, so "\xAE" and page bytes
// survive both ways.
#pragma once

#include <QString>
#include <string>

namespace larkspire {

inline QString ToQt(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) {
  QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// For a Qt text widget, which ends lines with LF alone: CR LF and a lone CR become LF.
inline QString ToQtLines(const std::string& text) {
  QString lines = ToQt(text);
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return lines;
}

}  // namespace larkspire
