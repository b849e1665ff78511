#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdint>

#include "capture/ComPortPath.h"

namespace testsupport {

// The device end of a real pseudo-terminal, published as COM<n>, read and written
// blocking from any thread. Its own (unread) slave handle spares the master a hang-up
// while the program has the port closed.
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

  void write(const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
      const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
      pollfd p{m_master, POLLOUT, 0};
      if (n > 0) done += n;
      else ::poll(&p, 1, 100);
    }
  }
  // Reads what arrives until `count` bytes came or the time runs out.
  QByteArray read(qsizetype count, int timeoutMs = 3000) {
    QByteArray out;
    QElapsedTimer t;
    t.start();
    char buf[512];
    for (pollfd p{m_master, POLLIN, 0}; out.size() < count && t.elapsed() < timeoutMs;) {
      if (::poll(&p, 1, int(timeoutMs - t.elapsed())) <= 0) break;
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, n);
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
