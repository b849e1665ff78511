#include "platform/File.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int fileCauseFromErrno(int err) {
  switch (err) {
    case 0: return FILE_CAUSE_NONE;
    case ENOENT: return FILE_CAUSE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL: return FILE_CAUSE_BAD_PATH;
    case EMFILE:
    case ENFILE: return FILE_CAUSE_TOO_MANY_OPEN;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return FILE_CAUSE_ACCESS_DENIED;
    case EWOULDBLOCK:
    case ETXTBSY: return FILE_CAUSE_SHARING_VIOLATION;
    case ENOLCK: return FILE_CAUSE_LOCK_VIOLATION;
    case ESPIPE: return FILE_CAUSE_BAD_SEEK;
    case EIO: return FILE_CAUSE_HARD_IO;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FILE_CAUSE_DISK_FULL;
    default: return FILE_CAUSE_GENERIC;
  }
}

namespace {
std::atomic<uint64_t> g_flushes{0};
}

bool flushToDisk(int fd, bool dataOnly) {
  ++g_flushes;
  return (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) == 0;
}

uint64_t flushCount() { return g_flushes.load(); }

File::~File() { close(); }

namespace {

// A transfer may move fewer bytes than asked, and a signal may interrupt it; both
// go on where they stopped. transfer(done) moves the bytes from done on.

// Reads stop at the end of the file; a failure after some bytes gives those bytes.
template <class Transfer>
int64_t readAll(size_t count, Transfer transfer) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = transfer(done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done ? static_cast<int64_t>(done) : -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// A write that fails part-way has failed.
template <class Transfer>
bool writeAll(size_t count, Transfer transfer) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = transfer(done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Lock bytes: presence of any handle, of a writer, of a handle that denies writers.
constexpr off_t LOCK_BASE = static_cast<off_t>(0x7FFFFFFF00000000LL);
constexpr off_t LOCK_PRESENCE = LOCK_BASE;
constexpr off_t LOCK_WRITER = LOCK_BASE + 1;
constexpr off_t LOCK_DENY_WRITE = LOCK_BASE + 2;

bool lockByte(int fd, off_t at, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when another handle holds a lock on the byte.
bool heldByOther(int fd, off_t at) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// Writers of other programs take none of these locks. A read lease is refused while
// any handle of any process has the file open for writing, so taking one and giving
// it back at once asks the kernel whether anyone writes. Where no lease can be had
// (not the file's owner and no CAP_LEASE, a file system without leases) the answer
// is unknown, and the open goes ahead as the locks alone allow.
bool openForWritingAnywhere(int fd) {
  // A writer's open in the moment the lease is held breaks it, which signals SIGIO
  // and would end the program; SIGURG is ignored unless a handler is set.
  ::fcntl(fd, F_SETSIG, SIGURG);
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) return errno == EAGAIN;
  ::fcntl(fd, F_SETLEASE, F_UNLCK);
  return false;
}

int takeLocks(int fd, File::Mode mode) {
  switch (mode) {
    case File::Mode::ReadShared:
      return lockByte(fd, LOCK_PRESENCE, F_RDLCK) ? 0 : EWOULDBLOCK;
    case File::Mode::CreateWriteShared:
      // One writer at a time: a second create would cut the file under the first.
      if (!lockByte(fd, LOCK_PRESENCE, F_RDLCK) || !lockByte(fd, LOCK_WRITER, F_WRLCK)) return EWOULDBLOCK;
      return heldByOther(fd, LOCK_DENY_WRITE) ? EWOULDBLOCK : 0;
    case File::Mode::ReadDenyWrite:
      if (!lockByte(fd, LOCK_PRESENCE, F_RDLCK) || !lockByte(fd, LOCK_DENY_WRITE, F_RDLCK))
        return EWOULDBLOCK;
      return heldByOther(fd, LOCK_WRITER) || openForWritingAnywhere(fd) ? EWOULDBLOCK : 0;
    case File::Mode::ReadWriteExclusive: {
      struct flock fl {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      fl.l_start = LOCK_BASE;
      fl.l_len = 3;
      return ::fcntl(fd, F_OFD_SETLK, &fl) == 0 ? 0 : EWOULDBLOCK;
    }
  }
  return EINVAL;
}

}  // namespace

bool File::open(const QString& path, Mode mode, FileError* error) {
  close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::CreateWriteShared: flags |= O_RDWR | O_CREAT; break;  // truncated once the locks are held
    case Mode::ReadShared:
    case Mode::ReadDenyWrite: flags |= O_RDONLY; break;
    case Mode::ReadWriteExclusive: flags |= O_RDWR; break;
  }
  auto fail = [&](int err) {
    if (error) *error = FileError{fileCauseFromErrno(err), err};
    return false;
  };
  const QByteArray native = path.toLocal8Bit();
  if (native.isEmpty()) return fail(ENOENT);
  // Non-blocking only for the open itself: a FIFO or a terminal under the chosen name
  // would otherwise hold the caller (the UI) until some other process opens its end.
  const int fd = ::open(native.constData(), flags | O_NONBLOCK, 0644);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (const int err = takeLocks(fd, mode)) {
    ::close(fd);  // drops whatever part of the locks was taken
    return fail(err);
  }
  if (mode == Mode::CreateWriteShared && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(err);
  }
  m_fd = fd;
  if (error) *error = FileError{};
  return true;
}

void File::close() {
  if (m_fd >= 0) {
    ::close(m_fd);  // releases the locks with the last descriptor of the description
    m_fd = -1;
  }
}

int64_t File::readAt(uint64_t offset, void* buffer, size_t count) const {
  if (m_fd < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  return readAll(count, [&](size_t done) {
    return ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
  });
}

int64_t File::writeAt(uint64_t offset, const void* data, size_t count) {
  if (m_fd < 0) return -1;
  const auto* in = static_cast<const char*>(data);
  const bool written = writeAll(count, [&](size_t done) {
    return ::pwrite(m_fd, in + done, count - done, static_cast<off_t>(offset + done));
  });
  return written ? static_cast<int64_t>(count) : -1;
}

int64_t File::read(void* buffer, size_t count) {
  if (m_fd < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  return readAll(count, [&](size_t done) { return ::read(m_fd, out + done, count - done); });
}

bool File::write(const void* data, size_t count) {
  if (m_fd < 0) return false;
  const auto* in = static_cast<const char*>(data);
  return writeAll(count, [&](size_t done) { return ::write(m_fd, in + done, count - done); });
}

bool File::seek(uint64_t offset) {
  return m_fd >= 0 && ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool File::seekToEnd() { return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_END) >= 0; }

uint64_t File::position() const {
  if (m_fd < 0) return 0;
  const off_t p = ::lseek(m_fd, 0, SEEK_CUR);
  return p < 0 ? 0 : static_cast<uint64_t>(p);
}

uint64_t File::length() const {
  struct stat st {};
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool File::setLength(uint64_t length) { return m_fd >= 0 && ::ftruncate(m_fd, static_cast<off_t>(length)) == 0; }

bool File::flush() { return m_fd >= 0 && flushToDisk(m_fd, true); }

}  // namespace platform
