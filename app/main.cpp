#include <QApplication>
#include <QMainWindow>

#include "platform/gui/QtMessageBoxService.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::QtMessageBoxService boxes;
  platform::SetMessageBoxService(&boxes);
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("VRIM"));
  w.resize(640, 480);
  w.show();
  return app.exec();
}
