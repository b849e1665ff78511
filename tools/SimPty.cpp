#include "tools/SimPty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "capture/ComPortPath.h"

SimPty::SimPty() = default;

SimPty::~SimPty() { Close(); }

bool SimPty::Open(uint32_t comNumber, QString& error) {
  Close();
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
    error = QStringLiteral("cannot make a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    Close();
    return false;
  }
  m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
  // Holding a slave handle keeps the master from seeing a hang-up whenever the
  // program closes the port; it is never read.
  m_keepSlave = ::open(QFile::encodeName(m_slavePath).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (m_keepSlave >= 0 && ::tcgetattr(m_keepSlave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(m_keepSlave, TCSANOW, &tio);
  }
  QDir().mkpath(ComPortPath::PortsFolder());
  m_linkPath = ComPortPath::LinkPath(comNumber);
  QFile::remove(m_linkPath);
  if (!QFile::link(m_slavePath, m_linkPath)) {
    error = QStringLiteral("cannot make the link %1").arg(m_linkPath);
    m_linkPath.clear();
    Close();
    return false;
  }
  m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
  QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, [this] { onReadable(); });
  m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
  m_writeNotifier->setEnabled(false);
  QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, [this] { onWritable(); });
  return true;
}

void SimPty::Close() {
  m_readNotifier.reset();
  m_writeNotifier.reset();
  if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
  m_linkPath.clear();
  if (m_keepSlave >= 0) ::close(m_keepSlave);
  if (m_master >= 0) ::close(m_master);
  m_keepSlave = m_master = -1;
  m_out.clear();
}

void SimPty::Write(const QByteArray& bytes) {
  if (m_master < 0) return;
  m_out.append(bytes);
  onWritable();
}

void SimPty::onWritable() {
  while (!m_out.isEmpty()) {
    const ssize_t n = ::write(m_master, m_out.constData(), static_cast<size_t>(m_out.size()));
    if (n <= 0) break;
    m_out.remove(0, n);
  }
  m_writeNotifier->setEnabled(!m_out.isEmpty());
}

void SimPty::onReadable() {
  char buf[512];
  const ssize_t n = ::read(m_master, buf, sizeof buf);
  if (n > 0 && onData) onData(QByteArray(buf, n));
}
