#include <QApplication>

#include "app/CVRIMApp.h"
#include "capture/DialUp.h"
#include "platform/gui/QtMessageBoxService.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VRIM"));
  platform::QtMessageBoxService boxes;
  platform::SetMessageBoxService(&boxes);
  CVRIMApp app;
  if (!app.InitInstance(QApplication::arguments().mid(1))) {
    app.ExitInstance();
    return 1;
  }
  qapp.exec();
  return app.ExitInstance();
}
