#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <chrono>
#include <cstdint>

#include "capture/ComPortPath.h"

namespace testsupport {

// The device end of a real pseudo-terminal, published as COM<n> in the ports
// folder. It keeps a slave handle of its own so that the master never sees a
// hang-up while the program under test has the port closed; it never reads it.
class PtyDevice {
public:
  explicit PtyDevice(uint32_t portNumber) : m_port(portNumber) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    m_keepSlave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(m_keepSlave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_keepSlave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    QDir().mkpath(ComPortPath::PortsFolder());
    QFile::remove(link());
    QFile::link(m_slavePath, link());
  }
  ~PtyDevice() {
    Unplug();
    QFile::remove(link());
  }
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  bool ok() const { return m_master >= 0 && m_keepSlave >= 0; }
  QString link() const { return ComPortPath::LinkPath(m_port); }
  const QString& slavePath() const { return m_slavePath; }
  int master() const { return m_master; }

  void write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
      if (n > 0) {
        done += n;
      } else {
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  }

  // Reads what arrives until `count` bytes came or the time runs out.
  QByteArray read(qsizetype count, int timeoutMs = 3000) {
    QByteArray out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buf[512];
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n > 0) out.append(buf, n);
      else break;
    }
    return out;
  }
  // Everything that arrives within the time.
  QByteArray readFor(int ms) { return read(1 << 20, ms); }

  // The device goes away: both ends of the terminal close.
  void Unplug() {
    if (m_keepSlave >= 0) ::close(m_keepSlave);
    if (m_master >= 0) ::close(m_master);
    m_keepSlave = m_master = -1;
  }

private:
  uint32_t m_port;
  int m_master = -1;
  int m_keepSlave = -1;
  QString m_slavePath;
};

}  // namespace testsupport
