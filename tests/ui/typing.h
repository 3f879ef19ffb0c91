// Typing any text into a widget key by key. QTest::keyClicks maps characters
// to key codes and knows only ASCII; the Hungarian letters go as key text.
#pragma once

#include <QString>
#include <QtTest/QtTest>

namespace moltaro::ui::testing {

inline void Type(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

inline void Type(QWidget* widget, const char* utf8) {
  Type(widget, QString::fromUtf8(utf8));
}

}  // namespace moltaro::ui::testing
