#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "capture/HdlcReceiver.h"
#include "tools/SimPty.h"

class SimLog;

// The device's end of the framed serial link, on a pseudo-terminal published as
// a COM port link. It acknowledges every good data frame at once and sends its own
// data frames one at a time, each again every 250 ms until acknowledged.
class SimSerialLink {
public:
  static constexpr int RETRANSMIT_MS = 250;
  static constexpr int MAX_ATTEMPTS = 40;
  static constexpr int REPEAT_WINDOW_MS = 1000;

  explicit SimSerialLink(SimLog& log);
  ~SimSerialLink();
  SimSerialLink(const SimSerialLink&) = delete;
  SimSerialLink& operator=(const SimSerialLink&) = delete;

  bool Open(uint32_t comNumber, QString& error);
  // The link goes away with the firmware: the port disappears and what was queued
  // is lost; Open brings it back from the start of the sequence.
  void Close();
  QString SlavePath() const { return m_pty.SlavePath(); }
  QString LinkPath() const { return m_pty.LinkPath(); }

  // Called with the payload of every channel-1 data frame received.
  std::function<void(const QByteArray&)> onCommand;

  void QueueFrame(const QByteArray& payload);
  size_t Waiting() const { return m_queue.size(); }
  void Flush() { m_queue.clear(); }

  void SetAcknowledge(bool on) { m_acknowledge = on; }
  void SetSilent(bool on);
  void SetGarbage(uint32_t bytesBetweenFrames) { m_garbage = bytesBetweenFrames; }

private:
  void onBytes(const QByteArray& bytes);
  void sendHead();
  void onRetransmitTimer();
  QByteArray encode(const uint8_t* head, uint32_t headLength, const QByteArray& payload) const;

  SimLog& m_log;
  SimPty m_pty;

  HdlcReceiver m_receiver;
  QByteArray m_lastFrame;  // content of the last data frame, FCS included
  QElapsedTimer m_lastFrameTime;
  std::deque<QByteArray> m_queue;  // payloads; the head is in flight once sent
  bool m_inFlight = false;
  int m_attempts = 0;
  uint8_t m_ns = 0;
  QTimer m_retransmit;

  bool m_acknowledge = true;
  bool m_silent = false;
  uint32_t m_garbage = 0;
  uint32_t m_garbageState = 12345;
};
