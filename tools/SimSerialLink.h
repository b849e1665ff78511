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

class QSocketNotifier;
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
  QString SlavePath() const { return m_slavePath; }
  QString LinkPath() const { return m_linkPath; }

  // Called with the payload of every channel-1 data frame received.
  std::function<void(const QByteArray&)> onCommand;

  void QueueFrame(const QByteArray& payload);
  size_t Waiting() const { return m_queue.size(); }
  void Flush() { m_queue.clear(); }

  void SetAcknowledge(bool on) { m_acknowledge = on; }
  void SetSilent(bool on);
  void SetGarbage(uint32_t bytesBetweenFrames) { m_garbage = bytesBetweenFrames; }
  // After CMD_BOOT the firmware is gone: frames are neither answered nor sent.
  void SetBootMode(bool on);

private:
  void onReadable();
  void onWritable();
  void sendHead();
  void onRetransmitTimer();
  void writeRaw(const QByteArray& bytes);
  QByteArray encode(const uint8_t* head, uint32_t headLength, const QByteArray& payload) const;

  SimLog& m_log;
  int m_master = -1;
  int m_keepSlave = -1;
  QString m_slavePath;
  QString m_linkPath;
  std::unique_ptr<QSocketNotifier> m_readNotifier;
  std::unique_ptr<QSocketNotifier> m_writeNotifier;
  QByteArray m_out;  // bytes the terminal did not take yet

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
  bool m_bootMode = false;
  uint32_t m_garbage = 0;
  uint32_t m_garbageState = 12345;
};
