// The desktop's launcher for VRIM documents: hands the files to the running copy of
// the program (profile 0, or the one named by a "Profile=" argument), starting the
// program first when no copy runs.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "app/CCmdLineInfo.h"
#include "app/CShellOpen.h"
#include "platform/ProfileStore.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  CCmdLineInfo info;
  info.ParseCommandLine(args);
  const QString key = platform::RegistryKeyName(info.m_nProfile).value_or(QStringLiteral("Quellfeld"));
  QStringList files;
  QStringList profileArgs;
  for (const QString& a : args) {
    if (QFileInfo(a).isFile())
      files << a;
    else if (a.contains(QStringLiteral("Profile=")))
      profileArgs << a;
  }
  if (CShellOpen::SendOpenRequest(key, files)) return 0;
  const QString vrim = QCoreApplication::applicationDirPath() + QStringLiteral("/vrim");
  if (!QProcess::startDetached(vrim, profileArgs)) return 1;
  for (int i = 0; i < 100; ++i) {  // up to 10 s for the program to come up
    QThread::msleep(100);
    if (CShellOpen::SendOpenRequest(key, files, 200)) return 0;
  }
  return 1;
}
