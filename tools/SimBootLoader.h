#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>

#include "tools/SimPty.h"

class SimLog;

// How the boot loader misbehaves on request.
struct SimBootFaults {
  bool noPrompt = false;    // "\r" gets no answer
  bool noUsbBoot = false;   // the prompt lacks the "USBBOOT" mark
  bool slow = false;        // every answer comes SLOW_REPLY_MS late
  bool noChecksum = false;  // "C" gets no answer
  bool staleReply = false;  // a "." follows each prompt, and lines are answered LINE_REPLY_MS late
};

// The QX-7700's boot loader: a text dialogue on a COM port of its own. At the start
// of a line "\r" gets the prompt, "C" the checksum of every line received so far
// (CRC-32) and "E" an "E" before the firmware starts; any other byte begins a line,
// which is answered with "." at its line feed and logged as received; a line that
// begins before the answer to the one before has gone out is logged as early.
class SimBootLoader {
public:
  static constexpr int SLOW_REPLY_MS = 200;
  static constexpr int LINE_REPLY_MS = 20;

  SimBootLoader(SimLog& log, const SimBootFaults& faults);

  bool Open(uint32_t comNumber, QString& error);
  void Close() { m_pty.Close(); }
  bool IsOpen() const { return m_pty.IsOpen(); }

  // Called after "E" has been answered.
  std::function<void()> onExit;

  // CRC-32 as in Ethernet and zip (reflected polynomial 0xEDB88320, initial and final
  // value 0xFFFFFFFF): "123456789" gives 0xCBF43926.
  static uint32_t Checksum(const QByteArray& bytes);

private:
  void onBytes(const QByteArray& bytes);
  void reply(const QByteArray& bytes, int delayMs = 0);

  SimLog& m_log;
  SimBootFaults m_faults;
  SimPty m_pty;
  QByteArray m_line;
  QByteArray m_received;
  uint32_t m_lines = 0;
  int m_answersDue = 0;  // answers not yet written
};
