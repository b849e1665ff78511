#include "capture/CFileUtilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString composePath(const QString& drive, const QString& directory, const QString& name,
                    const QString& extension) {
  QString path = drive + directory;
  if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  path += name;
  if (!extension.isEmpty()) {
    if (!extension.startsWith(QLatin1Char('.'))) path += QLatin1Char('.');
    path += extension;
  }
  return path;
}

}  // namespace

void CFileUtilities::SplitPath(const QString& path) {
  m_fullPath = path;
  m_drive.clear();
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  m_directory = path.left(slash + 1);
  const QString last = path.mid(slash + 1);
  const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) {
    m_fileName = last;
    m_extension.clear();
  } else {
    m_fileName = last.left(dot);
    m_extension = last.mid(dot);
  }
}

void CFileUtilities::SetFileName(const QString& fileName) {
  m_fileName = fileName;
  m_fullPath = composePath(m_drive, m_directory, m_fileName, m_extension);
}

bool CFileUtilities::PathExists(const QString& path) {
  if (path.isEmpty()) return false;
  struct stat st {};
  return ::lstat(path.toLocal8Bit().constData(), &st) == 0;
}

bool CFileUtilities::FileExists() const { return PathExists(m_fullPath); }

bool CFileUtilities::IsFileEmpty() const {
  if (m_fullPath.isEmpty()) return true;
  // O_NONBLOCK: a FIFO of that name must not hold the UI until a writer shows up.
  const int fd = ::open(m_fullPath.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;
  struct stat st {};
  const bool empty = ::fstat(fd, &st) != 0 || st.st_size == 0;
  ::close(fd);
  return empty;
}

QString CFileUtilities::NextNumberedPath(const QString& path) {
  // The number goes before the extension of the last path component; a dot in a
  // folder name is not an extension.
  qsizetype insert = path.size();
  for (qsizetype i = path.size() - 1; i >= 0; --i) {
    const QChar c = path.at(i);
    if (c == QLatin1Char('.')) {
      insert = i;
      break;
    }
    if (c == QLatin1Char('/')) break;
  }

  uint32_t number = 1;
  QString head = path.left(insert);
  const QString tail = path.mid(insert);
  if (head.endsWith(QLatin1Char(')'))) {
    const qsizetype open = head.lastIndexOf(QLatin1Char('('));
    const qsizetype digitCount = head.size() - 1 - (open + 1);
    if (open >= 0 && digitCount > 0) {
      bool allDigits = true;
      for (qsizetype i = open + 1; i < head.size() - 1; ++i)
        if (!head.at(i).isDigit() || head.at(i).unicode() > '9') allDigits = false;
      if (allDigits) {
        // Unsigned arithmetic as in "%u": a number past 2^32 - 1 wraps rather than
        // refusing to number the file at all.
        uint32_t value = 0;
        for (qsizetype i = open + 1; i < head.size() - 1; ++i)
          value = value * 10u + static_cast<uint32_t>(head.at(i).unicode() - '0');
        number = value + 1;
        head.truncate(open);
      }
    }
  }
  return head + QStringLiteral("(%1)").arg(number) + tail;
}

QString CFileUtilities::GetUniqueFileName() {
  while (FileExists()) m_fullPath = NextNumberedPath(m_fullPath);
  return m_fullPath;
}
