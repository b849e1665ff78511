// The desktop's launcher for VRIM documents: hands the files to the running copy of
// the program (profile 0, or the one named by a "Profile=" argument), starting the
// program first when no copy runs.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "app/CCmdLineInfo.h"
#include "app/CShellOpen.h"
#include "platform/ProfileStore.h"

namespace {

int fail(const QString& text) {
  std::fprintf(stderr, "vrim-open: %s\n", qPrintable(text));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  CCmdLineInfo info;
  info.ParseCommandLine(args);
  const QString key = platform::RegistryKeyName(info.m_nProfile).value_or(QStringLiteral("Quellfeld"));
  QStringList files;
  QStringList profileArgs;
  for (const QString& a : args) {
    // The program's own rule: "Profile=", with or without a leading "-" or "/".
    const qsizetype flag = a.startsWith(QLatin1Char('-')) || a.startsWith(QLatin1Char('/')) ? 1 : 0;
    (a.mid(flag).startsWith(QStringLiteral("Profile=")) ? profileArgs : files) << a;
  }
  // A file that is not there goes to the program all the same: the desktop user sees
  // its message, as for an entry of the recent list.
  int result = 0;
  for (const QString& f : files)
    if (!QFileInfo(f).isFile()) result = fail(QStringLiteral("%1: no such file").arg(f));
  // A copy started where no copy can listen would only leave an empty window.
  QString why;
  if (CShellOpen::ServerName(key, &why).isEmpty())
    return fail(QStringLiteral("the program cannot take open requests: %1").arg(why));
  if (CShellOpen::SendOpenRequest(key, files)) return result;
  const QString vrim = QCoreApplication::applicationDirPath() + QStringLiteral("/vrim");
  if (!QProcess::startDetached(vrim, profileArgs)) return fail(QStringLiteral("cannot start %1").arg(vrim));
  for (int i = 0; i < 100; ++i) {  // up to 10 s for the program to come up
    QThread::msleep(100);
    if (CShellOpen::SendOpenRequest(key, files, 200)) return result;
  }
  return fail(QStringLiteral("%1 was started but took no open request within 10 s").arg(vrim));
}
