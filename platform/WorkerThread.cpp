#include "platform/WorkerThread.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace platform {

bool WorkerThread::Start(Body body, std::function<void()> wake) {
  if (onThread()) {
    errno = EDEADLK;
    return false;
  }
  Stop();
  return launch(std::move(body), std::move(wake));
}

bool WorkerThread::StartPolling(PollBody body) {
  if (onThread()) {
    errno = EDEADLK;
    return false;
  }
  Stop();
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return false;
  m_wakeDescriptor = fd;
  // Never read, so it stays readable for every later poll of the body.
  auto signal = [fd] {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(fd, &one, sizeof one);
  };
  if (launch([body = std::move(body), fd](std::stop_token) { body(fd); }, signal)) return true;
  const int err = errno;
  closeWakeDescriptor();
  errno = err;
  return false;
}

bool WorkerThread::launch(Body body, std::function<void()> wake) {
  std::lock_guard placing(m_placeMutex);
  try {
    m_thread = std::jthread([this, body = std::move(body), wake = std::move(wake)](std::stop_token stop) {
      // A body that stops its own thread reads m_thread: not before it is in place.
      { std::lock_guard placed(m_placeMutex); }
      // Registered here, it lasts exactly as long as the body: a stop asked for
      // before it was registered runs the wake at once, which the body then ignores.
      std::stop_callback onStop(stop, wake);
      body(stop);
    });
  } catch (const std::system_error& e) {
    errno = e.code().value();
    return false;
  }
  return true;
}

void WorkerThread::Stop() {
  if (!m_thread.joinable()) return;
  m_thread.request_stop();
  if (onThread()) return;
  m_thread.join();
  closeWakeDescriptor();
}

void WorkerThread::closeWakeDescriptor() {
  if (m_wakeDescriptor < 0) return;
  ::close(m_wakeDescriptor);
  m_wakeDescriptor = -1;
}

void WorkerThread::RaiseCallingThread() { ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -5); }

}  // namespace platform
