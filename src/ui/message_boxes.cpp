#include "ui/message_boxes.h"

#include <QMessageBox>
#include <QString>

namespace moltaro::ui {

void ShowPlainMessage(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  box.exec();
}

void ShowErrorMessage(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace moltaro::ui
