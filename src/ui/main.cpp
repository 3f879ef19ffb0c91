// moltaro: the desktop program of the version switch.
#include <QApplication>

#include "ui/message_boxes.h"
#include "ui/program_start.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString::fromUtf8(moltaro::ui::kApplicationTitle));
  return moltaro::ui::RunDesktopProgram();
}
