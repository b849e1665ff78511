#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "support/TestSupport.h"

namespace testsupport {

// The QX-7700 simulator (build/qx7700-sim) run as a child process, with its log and
// the items it expects the program to store in a private temporary folder.
class SimProcess {
public:
  // Beside the test binary, or one folder up for the benchmarks in build/bench.
  static QString program() {
    const QString here = QCoreApplication::applicationDirPath() + QStringLiteral("/qx7700-sim");
    return QFile::exists(here) ? here : QCoreApplication::applicationDirPath() + QStringLiteral("/../qx7700-sim");
  }
  static bool available() { return QFile::exists(program()); }

  explicit SimProcess(QStringList args) {
    args << QStringLiteral("--control") << QStringLiteral("--log") << logPath() << QStringLiteral("--items-out") << itemsPath();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(), args);
    m_started = m_process.waitForStarted(5000) &&
                waitFor([&] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; }, 15000) &&
                m_process.readLine().startsWith("ready");
  }
  ~SimProcess() { stop(); }

  bool started() const { return m_started; }
  void control(const QByteArray& line) {
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
  }
  void stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    control("quit");
    if (!m_process.waitForFinished(5000)) {
      m_process.terminate();
      m_process.waitForFinished(5000);
    }
  }

  QString logPath() const { return m_dir.filePath(QStringLiteral("sim.log")); }
  QString itemsPath() const { return m_dir.filePath(QStringLiteral("items.bin")); }
  QString log() const { return QString::fromUtf8(readWholeFile(logPath())); }
  QByteArray items() const { return readWholeFile(itemsPath()); }
  int count(const QString& needle) const { return static_cast<int>(log().count(needle)); }
  bool waitForLog(const QString& needle, int times = 1, int timeoutMs = 10000) const {
    return waitFor([&] { return count(needle) >= times; }, timeoutMs);
  }

private:
  QTemporaryDir m_dir;
  QProcess m_process;
  bool m_started = false;
};

// Network namespace parameters unique to this test process, so that parallel runs
// of the LAN tests never share an interface, an address or a port.
struct SimNetwork {
  QString name;
  QString hostAddr;
  QString deviceAddr;
  uint16_t acquisitionPort;
  uint16_t controlPort;

  static SimNetwork forThisProcess() {
    const auto pid = static_cast<uint32_t>(::getpid());
    const uint32_t net = pid % (150 * 64);
    const QString prefix = QStringLiteral("10.%1.%2.").arg(100 + net / 64).arg(net % 64);
    const auto port = static_cast<uint16_t>(20000 + (pid % 20000) * 2);
    return {QStringLiteral("vr%1").arg(pid % 100000000), prefix + "1", prefix + "2", port, uint16_t(port + 1)};
  }
  QStringList simArgs() const {
    return {"--lan", "--netns", name, "--host-addr", hostAddr, "--device-addr", deviceAddr,
            "--acq-port", QString::number(acquisitionPort), "--ctrl-port", QString::number(controlPort)};
  }
  // Namespaces need root; elsewhere the LAN tests skip.
  static bool possible() { return ::geteuid() == 0 && (QFile::exists(QStringLiteral("/usr/sbin/ip")) || QFile::exists(QStringLiteral("/sbin/ip"))); }
};

}  // namespace testsupport
