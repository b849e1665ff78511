#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QUdpSocket;
class SimLog;

// The device's two UDP ports: acquisition (records out) and control (commands in,
// replies out). Each datagram goes from a device port to the same port number on
// the host that sent the last command (or the host given at start).
class SimLan {
public:
  explicit SimLan(SimLog& log);
  ~SimLan();
  SimLan(const SimLan&) = delete;
  SimLan& operator=(const SimLan&) = delete;

  bool Open(const QHostAddress& device, uint16_t acquisitionPort, uint16_t controlPort, QString& error);
  void SetHost(const QHostAddress& host) { m_host = host; }
  bool HasHost() const { return !m_host.isNull(); }

  // Called with every datagram that arrives on the control port.
  std::function<void(const QByteArray&)> onCommand;

  void SendRecords(const QByteArray& records);
  void SendReply(const QByteArray& reply);
  // Misbehaviour on request: an empty datagram, or one larger than the program's
  // 1024-byte receive buffer (made of well-formed records).
  void SendEmpty(bool control);
  void SendOversize(bool control);
  void SetSilent(bool on) { m_silent = on; }

private:
  void onControlReadable();
  void onAcquisitionReadable();
  void send(bool control, const QByteArray& bytes);

  SimLog& m_log;
  std::unique_ptr<QUdpSocket> m_acquisition;
  std::unique_ptr<QUdpSocket> m_control;
  uint16_t m_acquisitionPort = 0;
  uint16_t m_controlPort = 0;
  QHostAddress m_host;
  bool m_silent = false;
};
