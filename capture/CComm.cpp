#include "capture/CComm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <chrono>

#include "capture/ComPortPath.h"
#include "capture/SerialRate.h"
#include "platform/MessageBoxService.h"

namespace {

speed_t speedFor(uint32_t baud) {
  switch (baud) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

CComm::CComm() = default;

// An owner that forgot Close would leave a read thread on a freed object; closing
// here ends it first.
CComm::~CComm() { Close(); }

void CComm::SetParams(uint32_t baudRate, uint32_t dataBits, uint32_t parity, uint32_t stopBits) {
  m_baudRate = baudRate;
  m_dataBits = dataBits;
  m_parity = parity;
  m_stopBits = stopBits;
}

int CComm::OpenPort(uint32_t portNumber, bool inheritable) {
  const QString path = ComPortPath::Resolve(portNumber);
  if (path.isEmpty()) {
    errno = ENOENT;
    return INVALID_HANDLE;
  }
  int flags = O_RDWR | O_NOCTTY | O_NONBLOCK;
  if (!inheritable) flags |= O_CLOEXEC;
  const int fd = ::open(QFile::encodeName(path).constData(), flags);
  if (fd < 0) return INVALID_HANDLE;
  // The lock belongs to the open file description, so it also keeps out a second
  // open from this process, and root is bound by it like everyone else.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    errno = err;
    return INVALID_HANDLE;
  }
  return fd;
}

int CComm::Open(uint32_t portNumber, Callback callback, void* context, bool inheritable) {
  // A running read thread must end before its object is reused.
  Close();
  m_portNumber = portNumber;
  int fd = OpenPort(portNumber, inheritable);
  if (fd >= 0) fd = Attach(fd, callback, context);
  if (fd < 0) {
    const int err = errno;
    platform::ShowMessageBox(QString::asprintf("Failed to open serial port COM%u:\r\nError: %u", portNumber,
                                               static_cast<unsigned>(err)),
                             platform::MB_OK | platform::MB_ICONERROR);
    errno = err;
    return INVALID_HANDLE;
  }
  return fd;
}

void CComm::ApplyLineSettings(termios& tio, uint32_t baudRate, uint32_t dataBits, uint32_t parity,
                              uint32_t stopBits) {
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // No separate input rate: a custom one from an earlier open would outlive the new rate.
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CIBAUD);
  tio.c_cflag |= CREAD | CLOCAL;
  switch (dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
  }
  switch (parity) {
    case ODDPARITY: tio.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: tio.c_cflag |= PARENB; break;
    // Stick parity: with CMSPAR the parity bit is constant, 1 with PARODD, 0 without.
    case MARKPARITY: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
  }
  if (parity != NOPARITY) tio.c_iflag |= INPCK;
  // One and a half stop bits exist only for 5 data bits; termios knows just two.
  if (stopBits != ONESTOPBIT) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (const speed_t speed = speedFor(baudRate)) ::cfsetspeed(&tio, speed);
}

bool CComm::configure() {
  termios tio{};
  if (::tcgetattr(m_handle, &tio) == 0) {
    ApplyLineSettings(tio, m_baudRate, m_dataBits, m_parity, m_stopBits);
    ::tcsetattr(m_handle, TCSANOW, &tio);
  }
  // DTR and RTS stay off and take no part in handshaking.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(m_handle, TIOCMBIC, &lines);
  // A rate the table lacks would otherwise leave the old one silently.
  return speedFor(m_baudRate) != 0 || SerialRate::SetCustom(m_handle, m_baudRate);
}

int CComm::Attach(int handle, Callback callback, void* context) {
  if (handle < 0) return handle;
  if (handle != m_handle) Close();
  else stopReadThread();
  m_handle = handle;
  m_lost = false;
  if (!configure()) {
    const int err = errno;
    Close();
    errno = err;
    return INVALID_HANDLE;
  }
  m_callback = callback;
  m_callbackMode = callback != nullptr;
  if (m_callbackMode) {
    m_callbackContext = context;
    m_countFrame = m_countOverrun = m_countParity = m_countBreak = m_countBufOverrun = 0;
    lineErrors();  // starts the error counters from what the driver has counted so far
    if (!m_readThread.StartPolling([this](int stopDescriptor) { ReadThread(stopDescriptor); })) {
      const int err = errno;
      Close();
      errno = err;
      return INVALID_HANDLE;
    }
  }
  return handle;
}

uint32_t CComm::lineErrors() {
  serial_icounter_struct c{};
  if (::ioctl(m_handle, TIOCGICOUNT, &c) != 0) return 0;  // a pseudo-terminal counts nothing
  uint32_t bits = 0;
  if (static_cast<uint32_t>(c.buf_overrun) != m_countBufOverrun) bits |= CE_RXOVER;
  if (static_cast<uint32_t>(c.overrun) != m_countOverrun) bits |= CE_OVERRUN;
  if (static_cast<uint32_t>(c.parity) != m_countParity) bits |= CE_RXPARITY;
  if (static_cast<uint32_t>(c.frame) != m_countFrame) bits |= CE_FRAME;
  if (static_cast<uint32_t>(c.brk) != m_countBreak) bits |= CE_BREAK;
  m_countBufOverrun = c.buf_overrun;
  m_countOverrun = c.overrun;
  m_countParity = c.parity;
  m_countFrame = c.frame;
  m_countBreak = c.brk;
  return bits;
}

void CComm::ReadThread(int stopDescriptor) {
  platform::WorkerThread::RaiseCallingThread();
  bool portAlive = true;
  uint8_t buffer[256];
  for (;;) {
    pollfd fds[2] = {{stopDescriptor, POLLIN, 0}, {m_handle, POLLIN, 0}};
    // A port that hung up (device unplugged, pseudo-terminal master closed) stays
    // readable forever; after its one report only the stop event is watched, so the
    // thread sleeps instead of spinning until Close.
    const int n = ::poll(fds, portAlive ? 2 : 1, -1);
    if (n < 0) continue;  // EINTR: next turn
    if (fds[0].revents) return;
    if (!portAlive || !fds[1].revents) continue;
    const ssize_t got = ::read(m_handle, buffer, sizeof buffer);
    if (got > 0) {
      // Errors the driver counted since the last look travel with the first byte
      // of what was read together.
      uint32_t errors = lineErrors();
      for (ssize_t i = 0; i < got; ++i) {
        m_callback(m_callbackContext, buffer[i], errors);
        errors = 0;
      }
      continue;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    const int err = got == 0 ? EIO : errno;
    m_callback(m_callbackContext, 0, static_cast<uint32_t>(err));
    portAlive = false;
    m_lost = true;
    if (m_portLost) m_portLost(static_cast<uint32_t>(err));
  }
}

void CComm::stopReadThread() { m_readThread.Stop(); }

void CComm::Close() {
  if (m_handle < 0 && !m_readThread.IsRunning()) return;  // nothing open: nothing to release
  stopReadThread();
  if (m_handle >= 0) {
    std::lock_guard lock(m_writeMutex);
    ::close(m_handle);
  }
  m_portNumber = 0;
  m_callback = nullptr;
  m_callbackMode = false;
  m_handle = INVALID_HANDLE;
}

bool CComm::Purge() {
  if (m_handle < 0) return false;
  return ::tcflush(m_handle, TCIFLUSH) == 0;
}

bool CComm::Read(void* buffer, uint32_t count, uint32_t* bytesRead) {
  if (m_callbackMode) {
    errno = EACCES;
    return false;
  }
  if (m_handle < 0) {
    errno = EBADF;
    return false;
  }
  if (bytesRead) *bytesRead = 0;
  if (count == 0) return true;
  pollfd pfd{m_handle, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, static_cast<int>(IO_WAIT_MS));
  if (ready <= 0) {
    if (ready == 0) errno = ETIMEDOUT;
    return false;
  }
  const ssize_t got = ::read(m_handle, buffer, count);
  if (got < 0) return false;
  if (got == 0) {
    errno = EIO;
    return false;
  }
  if (bytesRead) *bytesRead = static_cast<uint32_t>(got);
  return true;
}

bool CComm::Write(const void* buffer, uint32_t count, uint32_t* bytesWritten) {
  std::lock_guard lock(m_writeMutex);
  if (bytesWritten) *bytesWritten = 0;
  if (m_handle < 0) {
    errno = EBADF;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(IO_WAIT_MS);
  const auto* p = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(m_handle, p + done, count - done);
    if (put > 0) {
      done += static_cast<uint32_t>(put);
      continue;
    }
    if (put < 0 && errno != EAGAIN && errno != EINTR) break;
    pollfd pfd{m_handle, POLLOUT, 0};
    const int left = remainingMs(deadline);
    if (left == 0 || ::poll(&pfd, 1, left) <= 0) {
      errno = ETIMEDOUT;
      break;
    }
  }
  if (bytesWritten) *bytesWritten = done;
  return done == count;
}

bool CComm::PortExists(uint32_t portNumber, bool heldCounts) {
  const int fd = OpenPort(portNumber, false);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  // Held by another program, not permitted, not answering in time: the port is
  // there. A serial node without a device behind it answers EIO and is not.
  return heldCounts && (errno == EBUSY || errno == EACCES || errno == EPERM || errno == ETIMEDOUT);
}
