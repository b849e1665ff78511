#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

namespace platform {

// Failure causes of file operations, numbered as the messages show them.
enum FileCause : int {
  FILE_CAUSE_NONE = 0,
  FILE_CAUSE_GENERIC = 1,
  FILE_CAUSE_NOT_FOUND = 2,
  FILE_CAUSE_BAD_PATH = 3,
  FILE_CAUSE_TOO_MANY_OPEN = 4,
  FILE_CAUSE_ACCESS_DENIED = 5,
  FILE_CAUSE_INVALID_FILE = 6,
  FILE_CAUSE_REMOVE_CURRENT_DIR = 7,
  FILE_CAUSE_DIRECTORY_FULL = 8,
  FILE_CAUSE_BAD_SEEK = 9,
  FILE_CAUSE_HARD_IO = 10,
  FILE_CAUSE_SHARING_VIOLATION = 11,
  FILE_CAUSE_LOCK_VIOLATION = 12,
  FILE_CAUSE_DISK_FULL = 13,
  FILE_CAUSE_END_OF_FILE = 14,
};

// Maps an errno value to a cause code.
int fileCauseFromErrno(int err);

// Puts what was written to fd on the disk: only its data and length with dataOnly,
// else all of it. Every call is counted, since a flush leaves no trace in the file
// that a test could see: flushCount is the number made by this process so far.
bool flushToDisk(int fd, bool dataOnly);
uint64_t flushCount();

struct FileError {
  int cause = FILE_CAUSE_NONE;
  int osError = 0;  // errno
};

// A binary file with the sharing rules the recording and the shown file rely on.
// Sharing is enforced with open-file-description byte-range locks, which hold
// between handles of one process as well as between processes; they lie on bytes
// far beyond any real file content and mark who holds the file (a reader, the one
// writer, a handle that denies writers). A conflicting open fails with the
// sharing-violation cause without touching the file. A handle that denies writers
// also sees, where the kernel tells, the writers of other programs.
class File {
public:
  enum class Mode {
    CreateWriteShared,   // create or truncate; others may read meanwhile, no second writer
    ReadShared,          // read-only; others may read and write meanwhile
    ReadWriteExclusive,  // read-write; no other handle may exist
    ReadDenyWrite,       // read-only; fails while any process writes, and keeps our writers out
  };

  File() = default;
  virtual ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool open(const QString& path, Mode mode, FileError* error = nullptr);
  void close();
  bool isOpen() const { return m_fd >= 0; }

  // Positional I/O: never moves the shared position, so several readers can use one
  // handle. Short counts at the end of the file; -1 on error.
  int64_t readAt(uint64_t offset, void* buffer, size_t count) const;
  int64_t writeAt(uint64_t offset, const void* data, size_t count);

  // Sequential I/O at the handle's own position.
  int64_t read(void* buffer, size_t count);
  // Writes everything (retrying short writes); false on error.
  bool write(const void* data, size_t count);
  bool seek(uint64_t offset);
  bool seekToEnd();
  uint64_t position() const;

  uint64_t length() const;
  bool setLength(uint64_t length);
  bool flush();  // to the disk

  int descriptor() const { return m_fd; }

private:
  int m_fd = -1;
};

}  // namespace platform
