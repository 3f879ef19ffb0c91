// Captions with an underlined access key, so that Alt and the letter reach a
// control without the mouse. The visible text stays the caption itself.
#pragma once

#include <QString>
#include <string>

namespace moltaro::ui {

// `caption` with its `letter`-th character (counted in characters, not bytes)
// marked as the access key; an '&' of the caption itself stays visible.
inline QString WithMnemonic(const QString& caption, qsizetype letter = 0) {
  QString marked = caption;
  marked.replace(QLatin1Char('&'), QStringLiteral("&&"));
  qsizetype at = 0;
  for (qsizetype seen = 0; seen < letter && at < marked.size(); ++seen) {
    at += marked[at] == QLatin1Char('&') ? 2 : 1;  // the doubled '&' is one character
  }
  if (at < marked.size()) marked.insert(at, QLatin1Char('&'));
  return marked;
}

inline QString WithMnemonic(const char* utf8, qsizetype letter = 0) {
  return WithMnemonic(QString::fromUtf8(utf8), letter);
}

inline QString WithMnemonic(const std::string& utf8, qsizetype letter = 0) {
  return WithMnemonic(QString::fromStdString(utf8), letter);
}

}  // namespace moltaro::ui
