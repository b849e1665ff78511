#include "platform/StopEvent.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

bool StopEvent::Open() {
  Close();
  m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return m_fd >= 0;
}

void StopEvent::StopAndJoin(std::thread& thread) {
  if (m_fd < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t w = ::write(m_fd, &one, sizeof one);
  if (thread.joinable()) thread.join();
  Close();
}

void StopEvent::Close() {
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
}

void StopEvent::RaiseCallingThread() { ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -5); }

}  // namespace platform
