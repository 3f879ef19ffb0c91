// Answers the message boxes a test's actions open and keeps what they said.
// The program shows them modally, so they are answered from inside their
// own event loop.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <vector>

namespace moltaro::ui::testing {

struct ShownBox {
  QMessageBox::Icon icon;
  QString title;
  QString text;
};

class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this] { AnswerOpenBoxes(); });
    poll_.start();
  }

  // Runs while a box is still open, before it is answered: the state the
  // operator sees next to the message.
  std::function<void()> whileShown;

  std::vector<ShownBox> boxes;

  QStringList Texts() const {
    QStringList texts;
    for (const ShownBox& box : boxes) texts << box.text;
    return texts;
  }
  void Clear() { boxes.clear(); }

 private:
  void AnswerOpenBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      boxes.push_back({box->icon(), box->windowTitle(), box->text()});
      if (whileShown) whileShown();
      box->accept();
    }
  }

  QTimer poll_;
};

}  // namespace moltaro::ui::testing
