#include <QApplication>
#include <QStringList>

#include "app/CVRIMApp.h"
#include "capture/DialUp.h"
#include "platform/gui/QtMessageBoxService.h"

int main(int argc, char** argv) {
  // The command line is the program's own, and it carries "Profile=" only: Qt gets
  // nothing but the program's name, so none of its switches (-platform, -reverse,
  // -geometry, ...) acts. The platform comes from QT_QPA_PLATFORM, as usual.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication qapp(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("VRIM"));
  platform::QtMessageBoxService boxes;
  platform::SetMessageBoxService(&boxes);
  CVRIMApp app;
  if (!app.InitInstance(arguments)) {
    app.ExitInstance();
    return 1;
  }
  qapp.exec();
  return app.ExitInstance();
}
