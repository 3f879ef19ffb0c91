// moltaro: the desktop program of the version switch.
#include <QApplication>

#include "ui/program_start.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  moltaro::ui::ConfigureApplication(app);
  return moltaro::ui::RunDesktopProgram();
}
