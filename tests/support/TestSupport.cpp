#include "support/TestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>

#include "platform/ProfileStore.h"

namespace testsupport {

void isolateConfigHome() {
  static QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
  // Desktop entries and MIME types that the program registers land here too.
  qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toLocal8Bit());
  platform::SetProfilePath(dir.filePath(QStringLiteral("Quellfeld/VRIM.ini")));
}

ScopedTimeZone::ScopedTimeZone(const char* zone) : m_saved(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ")) {
  qputenv("TZ", zone);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (m_wasSet)
    qputenv("TZ", m_saved);
  else
    qunsetenv("TZ");
  ::tzset();
}

TempProfile::TempProfile() { platform::SetProfilePath(iniPath()); }

TempProfile::~TempProfile() {
  platform::SetProfilePath(QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))
                               .filePath(QStringLiteral("Quellfeld/VRIM.ini")));
}

QString TempProfile::iniPath() const { return m_dir.filePath(QStringLiteral("profile/VRIM.ini")); }

QByteArray readWholeFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void writeWholeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray hex(const char* spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

namespace {

QProcessEnvironment environmentWith(const QStringList& variables) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& v : variables) env.insert(v.section('=', 0, 0), v.section('=', 1));
  return env;
}

}  // namespace

void startChildHalf(QProcess& child, const char* filter, const QStringList& variables) {
  child.setProcessEnvironment(environmentWith(variables));
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
}

bool holdInOtherProgram(QProcess& holder, const QString& path, bool forWriting) {
  const QString script = forWriting ? QStringLiteral("exec 3>>\"$0\" && echo held && read x")
                                    : QStringLiteral("exec 3<\"$0\" && echo held && read x");
  holder.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, path});
  QByteArray said;
  QElapsedTimer t;
  t.start();
  while (!said.contains("held") && holder.state() != QProcess::NotRunning && t.elapsed() < 10000) {
    holder.waitForReadyRead(100);
    said += holder.readAllStandardOutput();
  }
  return said.contains("held");
}

bool releaseHold(QProcess& holder) {
  holder.closeWriteChannel();
  return holder.waitForFinished(10000);
}

void startProgram(QProcess& child, const QStringList& arguments, const QStringList& variables) {
  child.setProcessEnvironment(environmentWith(variables));
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vrim"), arguments);
}

void endChild(QProcess& child) {
  if (child.state() == QProcess::NotRunning) return;
  child.terminate();
  if (!child.waitForFinished(5000)) {
    child.kill();
    child.waitForFinished(5000);
  }
}

bool returnsAtOnce(const QString& fifo, const std::function<bool()>& call, bool& result) {
  auto done = std::async(std::launch::async, call);
  const bool returned = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  const int peer = returned ? -1 : ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
  result = done.get();
  if (peer >= 0) ::close(peer);
  return returned;
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace testsupport
