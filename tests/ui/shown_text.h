// A caption as the operator reads it: the access key's '&' is only an
// underline on the screen, "&&" shows as one '&'.
#pragma once

#include <QString>

namespace moltaro::ui::testing {

inline QString Shown(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown;
}

}  // namespace moltaro::ui::testing
