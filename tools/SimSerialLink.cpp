#include "tools/SimSerialLink.h"

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
#include "capture/HdlcEncoder.h"
#include "tools/SimLog.h"

SimSerialLink::SimSerialLink(SimLog& log) : m_log(log) {
  m_retransmit.setSingleShot(true);
  QObject::connect(&m_retransmit, &QTimer::timeout, [this] { onRetransmitTimer(); });
}

SimSerialLink::~SimSerialLink() {
  m_readNotifier.reset();
  m_writeNotifier.reset();
  if (!m_linkPath.isEmpty()) QFile::remove(m_linkPath);
  if (m_keepSlave >= 0) ::close(m_keepSlave);
  if (m_master >= 0) ::close(m_master);
}

bool SimSerialLink::Open(uint32_t comNumber, QString& error) {
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
    error = QStringLiteral("cannot make a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
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
    return false;
  }
  m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
  QObject::connect(m_readNotifier.get(), &QSocketNotifier::activated, [this] { onReadable(); });
  m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
  m_writeNotifier->setEnabled(false);
  QObject::connect(m_writeNotifier.get(), &QSocketNotifier::activated, [this] { onWritable(); });
  return true;
}

QByteArray SimSerialLink::encode(const uint8_t* head, uint32_t headLength, const QByteArray& payload) const {
  uint8_t out[2048];
  const uint32_t n = HdlcEncoder::Encode(out, sizeof out, head, headLength,
                                         reinterpret_cast<const uint8_t*>(payload.constData()),
                                         static_cast<uint32_t>(payload.size()));
  return QByteArray(reinterpret_cast<const char*>(out), n);
}

void SimSerialLink::writeRaw(const QByteArray& bytes) {
  m_out.append(bytes);
  onWritable();
}

void SimSerialLink::onWritable() {
  while (!m_out.isEmpty()) {
    const ssize_t n = ::write(m_master, m_out.constData(), static_cast<size_t>(m_out.size()));
    if (n <= 0) break;
    m_out.remove(0, n);
  }
  m_writeNotifier->setEnabled(!m_out.isEmpty());
}

void SimSerialLink::onReadable() {
  uint8_t buf[512];
  const ssize_t n = ::read(m_master, buf, sizeof buf);
  if (n <= 0) return;
  for (ssize_t i = 0; i < n; ++i) {
    const HdlcReceiver::Result r = m_receiver.OnRxByte(buf[i]);
    if (r == HdlcReceiver::Result::None) continue;
    const uint8_t control = m_receiver.Control();
    if (r == HdlcReceiver::Result::Ack) {
      m_log.Line(QStringLiteral("ack-in nr=%1").arg(control >> 5));
      if (m_inFlight && !m_bootMode) {
        m_retransmit.stop();
        m_inFlight = false;
        m_queue.pop_front();
        m_ns = static_cast<uint8_t>((m_ns + 1) & 7);
        m_attempts = 0;
        sendHead();
      }
      continue;
    }
    const uint8_t ns = (control >> 1) & 7;
    const QByteArray frame(reinterpret_cast<const char*>(m_receiver.Frame()), m_receiver.FrameLength());
    const uint8_t channel = frame.size() > 2 ? static_cast<uint8_t>(frame[2]) : 0;
    const QByteArray payload = frame.size() > 5 ? frame.mid(3, frame.size() - 5) : QByteArray();
    // The same frame again soon after (its acknowledgement came too late for the
    // sender) is acknowledged again but carried out only once.
    const bool repeat = m_lastFrameTime.isValid() && m_lastFrameTime.elapsed() < REPEAT_WINDOW_MS && frame == m_lastFrame;
    m_lastFrame = frame;
    m_lastFrameTime.start();
    m_log.Line(QStringLiteral("frame-in ns=%1 ch=%2 %3%4")
                   .arg(ns)
                   .arg(channel)
                   .arg(QString::fromLatin1(payload.toHex(' ')), repeat ? QStringLiteral(" repeat") : QString()));
    if (m_bootMode) continue;
    if (m_acknowledge && !m_silent) {
      const uint8_t head[2] = {HdlcEncoder::ADDRESS, HdlcEncoder::AckControl(ns)};
      writeRaw(encode(head, 2, {}));
      m_log.Line(QStringLiteral("ack-out nr=%1").arg(ns));
    }
    if (channel == 1 && onCommand && !repeat) onCommand(payload);
  }
}

void SimSerialLink::QueueFrame(const QByteArray& payload) {
  if (m_silent) return;  // a silent device loses what it would have sent
  m_queue.push_back(payload);
  if (!m_inFlight) sendHead();
}

void SimSerialLink::sendHead() {
  if (m_inFlight || m_queue.empty() || m_silent || m_bootMode) return;
  QByteArray bytes;
  for (uint32_t i = 0; i < m_garbage; ++i) {
    m_garbageState = m_garbageState * 1103515245u + 12345u;
    auto b = static_cast<uint8_t>(m_garbageState >> 16);
    if (b == HdlcEncoder::FLAG) b = 0x7D;  // noise, never a frame start
    bytes.append(static_cast<char>(b));
  }
  const uint8_t head[3] = {HdlcEncoder::ADDRESS, HdlcEncoder::DataControl(m_ns), 1};
  bytes.append(encode(head, 3, m_queue.front()));
  writeRaw(bytes);
  m_inFlight = true;
  ++m_attempts;
  m_log.Line(QStringLiteral("frame-out ns=%1 len=%2 attempt=%3").arg(m_ns).arg(m_queue.front().size()).arg(m_attempts));
  m_retransmit.start(RETRANSMIT_MS);
}

void SimSerialLink::onRetransmitTimer() {
  if (!m_inFlight) return;
  m_inFlight = false;
  if (m_attempts >= MAX_ATTEMPTS) {
    m_log.Line(QStringLiteral("gave-up ns=%1").arg(m_ns));
    m_queue.pop_front();
    m_ns = static_cast<uint8_t>((m_ns + 1) & 7);
    m_attempts = 0;
  }
  sendHead();
}

void SimSerialLink::SetSilent(bool on) {
  m_silent = on;
  if (!on) sendHead();
}

void SimSerialLink::SetBootMode(bool on) {
  m_bootMode = on;
  if (on) {
    m_retransmit.stop();
    m_inFlight = false;
    m_queue.clear();
  }
}
