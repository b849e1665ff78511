#include "capture/UdpSocket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {
constexpr int RECEIVE_QUEUE_BYTES = 4 * 1024 * 1024;
}  // namespace

UdpSocket::UdpSocket() = default;

UdpSocket::~UdpSocket() { Close(); }

bool UdpSocket::Create(uint16_t localPort) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A deep receive queue rides out a moment in which the receiver is held up (a
  // file being replaced, a busy disk) instead of dropping device records. Beyond
  // the system's limit only a privileged process gets it; a refusal only keeps the
  // default.
  const int queueBytes = RECEIVE_QUEUE_BYTES;
  if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &queueBytes, sizeof queueBytes) != 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queueBytes, sizeof queueBytes);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(localPort);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return false;
  }
  m_fd = fd;
  m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
    if (m_onReceive) m_onReceive();
  });
  return true;
}

bool UdpSocket::Connect(const QString& address, uint16_t port) {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.trimmed().toLatin1().constData(), &peer.sin_addr) != 1) {
    errno = EINVAL;
    return false;
  }
  if (::connect(m_fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) return false;
  m_peer = peer;
  return true;
}

int UdpSocket::Send(const void* data, int length) {
  if (m_fd < 0) {
    errno = EBADF;
    return SOCKET_ERROR;
  }
  const ssize_t n = ::send(m_fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  return n < 0 ? SOCKET_ERROR : static_cast<int>(n);
}

int UdpSocket::ReceiveFrom(void* buffer, int capacity, uint16_t* senderPort, bool* fromPeer) {
  if (m_fd < 0) {
    errno = EBADF;
    return SOCKET_ERROR;
  }
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  // MSG_TRUNC reports the datagram's real length, so a cut one is recognised.
  const ssize_t n = ::recvfrom(m_fd, buffer, static_cast<size_t>(capacity), MSG_TRUNC | MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (n < 0) return SOCKET_ERROR;
  if (n > capacity) {
    errno = EMSGSIZE;
    return SOCKET_ERROR;
  }
  if (senderPort) *senderPort = ntohs(from.sin_port);
  // Connecting filters what arrives from then on, not what was queued before.
  if (fromPeer)
    *fromPeer = m_peer.sin_family == AF_INET && from.sin_family == AF_INET &&
                from.sin_addr.s_addr == m_peer.sin_addr.s_addr && from.sin_port == m_peer.sin_port;
  return static_cast<int>(n);
}

bool UdpSocket::StartReceiveThread() {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  if (m_thread.IsRunning()) return true;
  // The notifier fires on this thread only, so nothing is announced twice meanwhile.
  if (!m_thread.StartPolling([this](int stopDescriptor) { receiveThread(stopDescriptor); })) return false;
  if (m_notifier) m_notifier->setEnabled(false);
  return true;
}

void UdpSocket::receiveThread(int stopDescriptor) {
  platform::WorkerThread::RaiseCallingThread();
  for (;;) {
    pollfd fds[2] = {{stopDescriptor, POLLIN, 0}, {m_fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;  // EINTR: next turn
    if (fds[0].revents) return;
    if (fds[1].revents && m_onReceive) m_onReceive();
  }
}

void UdpSocket::stopReceiveThread() { m_thread.Stop(); }

void UdpSocket::Close() {
  stopReceiveThread();
  if (m_notifier) {
    m_notifier->setEnabled(false);
    // Close may run inside this notifier's own signal: it goes once the signal has
    // returned.
    m_notifier.release()->deleteLater();
  }
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_peer = {};
}

uint16_t UdpSocket::LocalPort() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}
