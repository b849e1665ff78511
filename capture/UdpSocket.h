#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

// A UDP socket bound to a local port on any address and connected to one peer,
// with a receive notification on the thread that created it (the UI thread's
// message loop). No address reuse: a port that another socket holds cannot be bound.
// Failures leave errno set, the error number that messages show.
class UdpSocket {
public:
  static constexpr int SOCKET_ERROR = -1;

  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  bool Create(uint16_t localPort);
  bool Connect(const QString& address, uint16_t port);
  // Bytes sent, or SOCKET_ERROR.
  int Send(const void* data, int length);
  // One datagram: its length (0 for an empty one), or SOCKET_ERROR, also for a
  // datagram longer than capacity, which is then lost (errno EMSGSIZE).
  int ReceiveFrom(void* buffer, int capacity, uint16_t* senderPort);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  uint16_t LocalPort() const;

  // Called, on the creating thread, whenever a datagram (or an error) waits.
  void SetReceiveHandler(std::function<void()> handler) { m_onReceive = std::move(handler); }

private:
  int m_fd = -1;
  std::unique_ptr<QSocketNotifier> m_notifier;
  std::function<void()> m_onReceive;
};
