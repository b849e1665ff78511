#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

// A full disk while it lives: the kernel refuses every write past 'bytes' of a file
// with EFBIG, for the whole process, and raises SIGXFSZ, which the program's start-up
// ignores; tests of parts that run without it ask for that with ignoreSignal.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes, bool ignoreSignal = false)
      : m_handler(ignoreSignal ? std::signal(SIGXFSZ, SIG_IGN) : SIG_ERR) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    const rlimit limit{bytes, m_saved.rlim_max};
    m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    if (m_handler != SIG_ERR) std::signal(SIGXFSZ, m_handler);
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
