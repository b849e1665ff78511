#include "tools/SimSerialLink.h"

#include "capture/HdlcEncoder.h"
#include "tools/SimLog.h"

SimSerialLink::SimSerialLink(SimLog& log) : m_log(log) {
  m_retransmit.setSingleShot(true);
  QObject::connect(&m_retransmit, &QTimer::timeout, [this] { onRetransmitTimer(); });
}

SimSerialLink::~SimSerialLink() = default;

bool SimSerialLink::Open(uint32_t comNumber, QString& error) {
  Close();
  m_pty.onData = [this](const QByteArray& bytes) { onBytes(bytes); };
  return m_pty.Open(comNumber, error);
}

void SimSerialLink::Close() {
  m_pty.Close();
  m_retransmit.stop();
  m_inFlight = false;
  m_queue.clear();
  m_attempts = 0;
  m_ns = 0;
  m_receiver.Reset();
  m_lastFrame.clear();
}

QByteArray SimSerialLink::encode(const uint8_t* head, uint32_t headLength, const QByteArray& payload) const {
  uint8_t out[2048];
  const uint32_t n = HdlcEncoder::Encode(out, sizeof out, head, headLength,
                                         reinterpret_cast<const uint8_t*>(payload.constData()),
                                         static_cast<uint32_t>(payload.size()));
  return QByteArray(reinterpret_cast<const char*>(out), n);
}

void SimSerialLink::onBytes(const QByteArray& bytes) {
  for (const char byte : bytes) {
    const HdlcReceiver::Result r = m_receiver.OnRxByte(static_cast<uint8_t>(byte));
    if (r == HdlcReceiver::Result::None) continue;
    const uint8_t control = m_receiver.Control();
    if (r == HdlcReceiver::Result::Ack) {
      m_log.Line(QStringLiteral("ack-in nr=%1").arg(control >> 5));
      if (m_inFlight) {
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
    if (m_acknowledge && !m_silent) {
      const uint8_t head[2] = {HdlcEncoder::ADDRESS, HdlcEncoder::AckControl(ns)};
      m_pty.Write(encode(head, 2, {}));
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
  if (m_inFlight || m_queue.empty() || m_silent || !m_pty.IsOpen()) return;
  QByteArray bytes;
  for (uint32_t i = 0; i < m_garbage; ++i) {
    m_garbageState = m_garbageState * 1103515245u + 12345u;
    auto b = static_cast<uint8_t>(m_garbageState >> 16);
    if (b == HdlcEncoder::FLAG) b = 0x7D;  // noise, never a frame start
    bytes.append(static_cast<char>(b));
  }
  const uint8_t head[3] = {HdlcEncoder::ADDRESS, HdlcEncoder::DataControl(m_ns), 1};
  bytes.append(encode(head, 3, m_queue.front()));
  m_pty.Write(bytes);
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
