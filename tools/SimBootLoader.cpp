#include "tools/SimBootLoader.h"

#include <QTimer>

#include "tools/SimLog.h"

SimBootLoader::SimBootLoader(SimLog& log, const SimBootFaults& faults) : m_log(log), m_faults(faults) {
  m_pty.onData = [this](const QByteArray& bytes) { onBytes(bytes); };
}

bool SimBootLoader::Open(uint32_t comNumber, QString& error) {
  m_line.clear();
  m_received.clear();
  m_lines = 0;
  return m_pty.Open(comNumber, error);
}

uint32_t SimBootLoader::Checksum(const QByteArray& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void SimBootLoader::reply(const QByteArray& bytes, int delayMs) {
  if (m_faults.slow) delayMs = SLOW_REPLY_MS;
  if (delayMs == 0) {
    m_pty.Write(bytes);
    return;
  }
  ++m_answersDue;
  QTimer::singleShot(delayMs, [this, bytes] {
    --m_answersDue;
    m_pty.Write(bytes);
  });
}

void SimBootLoader::onBytes(const QByteArray& bytes) {
  for (const char c : bytes) {
    if (m_line.isEmpty() && c == '\r') {
      m_log.Line(m_faults.noPrompt ? QStringLiteral("boot-prompt none") : QStringLiteral("boot-prompt"));
      if (!m_faults.noPrompt)
        reply(QByteArray(m_faults.noUsbBoot ? "\r\nBOOT>" : "\r\nUSBBOOT>") + (m_faults.staleReply ? "." : ""));
    } else if (m_line.isEmpty() && c == 'C') {
      const uint32_t crc = Checksum(m_received);
      m_log.Line(QString::asprintf("boot-checksum 0x%08X lines=%u", crc, m_lines));
      if (!m_faults.noChecksum) reply(QString::asprintf("\r\nCRC-32 0x%08X>", crc).toLatin1());
    } else if (m_line.isEmpty() && c == 'E') {
      m_log.Line(QStringLiteral("boot-exit"));
      reply("E");
      // The firmware starts once the answer is on its way.
      QTimer::singleShot(m_faults.slow ? 2 * SLOW_REPLY_MS : SLOW_REPLY_MS, [this] {
        if (onExit) onExit();
      });
      return;  // whatever follows goes to the firmware
    } else {
      if (m_line.isEmpty() && m_answersDue > 0) m_log.Line(QStringLiteral("boot-line-early"));
      m_line.append(c);
      if (c != '\n') continue;
      m_log.Line(QStringLiteral("boot-line ") + QString::fromLatin1(m_line.toHex(' ')));
      m_received += m_line;
      ++m_lines;
      m_line.clear();
      reply(".", m_faults.staleReply ? LINE_REPLY_MS : 0);
    }
  }
}
