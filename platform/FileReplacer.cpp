#include "platform/FileReplacer.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileReplacer::~FileReplacer() { Abandon(); }

bool FileReplacer::fail(FileError* error) {
  const int err = errno;
  if (error) *error = FileError{fileCauseFromErrno(err), err};
  Abandon();
  errno = err;
  return false;
}

bool FileReplacer::Begin(const QString& path, FileError* error) {
  Abandon();
  // Through a symbolic link the new version goes beside the file it points to and
  // takes that file's place: the link stays a link to the new version.
  const QString target = QFileInfo(path).canonicalFilePath();
  m_path = target.isEmpty() ? path : target;
  const QFileInfo info(m_path);
  // A dot name in the same folder: the rename stays on one file system, and a file
  // manager does not show the half-written copy as an acquisition file.
  QByteArray pattern = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                         QStringLiteral(".XXXXXX"));
  m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (m_fd < 0) return fail(error);
  m_tempPath = QFile::decodeName(pattern);
  struct stat st {};
  if (::stat(QFile::encodeName(m_path).constData(), &st) == 0) ::fchmod(m_fd, st.st_mode & 07777);
  return true;
}

bool FileReplacer::Write(const void* data, size_t count, FileError* error) {
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(m_fd, p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(error);
    }
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool FileReplacer::Commit(FileError* error) {
  if (m_fd < 0) {
    errno = EBADF;
    return fail(error);
  }
  if (!flushToDisk(m_fd, false)) return fail(error);
  if (::close(m_fd) != 0) {
    m_fd = -1;
    return fail(error);
  }
  m_fd = -1;
  if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_path).constData()) != 0)
    return fail(error);
  m_tempPath.clear();
  // The rename itself is on the disk once the folder is.
  const int dir = ::open(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    flushToDisk(dir, false);
    ::close(dir);
  }
  return true;
}

void FileReplacer::Abandon() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_tempPath.isEmpty()) {
    ::unlink(QFile::encodeName(m_tempPath).constData());
    m_tempPath.clear();
  }
}

}  // namespace platform
