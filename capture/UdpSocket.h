#pragma once

#include <netinet/in.h>

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/WorkerThread.h"

class QSocketNotifier;

// A UDP socket bound to a local port on any address and connected to one peer.
// Datagrams are announced either on the thread that created it (the UI thread's
// message loop) or, after StartReceiveThread, on a thread of its own. No address
// reuse: a port that another socket holds cannot be bound. Failures leave errno
// set, the error number that messages show.
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
  // One datagram, without waiting: its length (0 for an empty one), or SOCKET_ERROR,
  // also for a datagram longer than capacity, which is then lost (errno EMSGSIZE),
  // and when none waits (errno EAGAIN). fromPeer: it came from the address and port
  // that Connect named.
  int ReceiveFrom(void* buffer, int capacity, uint16_t* senderPort, bool* fromPeer = nullptr);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  uint16_t LocalPort() const;

  // Called, on the creating thread, whenever a datagram (or an error) waits.
  void SetReceiveHandler(std::function<void()> handler) { m_onReceive = std::move(handler); }
  // From now on the handler runs on a receive thread of above-normal priority that
  // sleeps until a datagram waits; the handler takes what waits. Close ends it.
  bool StartReceiveThread();

private:
  void receiveThread(int stopDescriptor);
  void stopReceiveThread();

  int m_fd = -1;
  sockaddr_in m_peer{};  // sin_family 0 until connected
  std::unique_ptr<QSocketNotifier> m_notifier;
  std::function<void()> m_onReceive;
  platform::WorkerThread m_thread;
};
