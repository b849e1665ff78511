#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

// A full disk while it lives: the kernel refuses every write past 'bytes' of a file
// with EFBIG (and no signal), for the whole process.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    const rlimit limit{bytes, m_saved.rlim_max};
    m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return m_ok; }

private:
  void (*m_handler)(int);
  rlimit m_saved{};
  bool m_ok = false;
};

}  // namespace testsupport
