#include "capture/CActiveFile.h"

#include <mutex>

#include "platform/MessageBoxService.h"

CActiveFile::~CActiveFile() { Close(); }

bool CActiveFile::openLocked(const QString& path, platform::File::Mode mode, platform::FileError& err) {
  m_file.close();
  m_open = false;
  if (!m_file.open(path, mode, &err)) return false;
  m_open = true;
  m_path = path;
  return true;
}

// The box is shown after the lock is released: it is modal, and while it is up the
// view repaints from this file on the same thread and the MDB decoder reads it on
// its own; under the lock the first would deadlock and the second wait for the user.
static void showOpenFailure(const platform::FileError& err, const QString& path) {
  platform::ShowMessageBox(QStringLiteral("Open file failed, Error: %1\r\nFile: %2").arg(err.cause).arg(path),
                           platform::MB_OK | platform::MB_ICONERROR);
}

bool CActiveFile::Open(const QString& path) {
  platform::FileError err;
  {
    std::unique_lock lock(m_mutex);
    if (openLocked(path, platform::File::Mode::ReadShared, err)) return true;
  }
  showOpenFailure(err, path);
  return false;
}

bool CActiveFile::Reopen(bool forWrite) {
  platform::FileError err;
  QString path;
  {
    std::unique_lock lock(m_mutex);
    path = m_path;
    if (openLocked(path, forWrite ? platform::File::Mode::ReadWriteExclusive : platform::File::Mode::ReadShared,
                   err))
      return true;
  }
  showOpenFailure(err, path);
  return false;
}

void CActiveFile::Close() {
  std::unique_lock lock(m_mutex);
  m_file.close();
  m_open = false;
}

bool CActiveFile::IsOpen() const {
  std::shared_lock lock(m_mutex);
  return m_open;
}

QString CActiveFile::GetPath() const {
  std::shared_lock lock(m_mutex);
  return m_path;
}

bool CActiveFile::ReadCommentSize(uint32_t& size) const {
  const std::optional<AcquisitionHeader> header = ReadHeader();
  size = header ? header->blockSize : 0;
  return header.has_value();
}

std::optional<AcquisitionHeader> CActiveFile::ReadHeader() const {
  uint8_t head[ACQUISITION_HEADER_SIZE];
  const int64_t got = ReadAt(0, head, sizeof head);
  return AcquisitionHeader::Parse(head, got > 0 ? static_cast<size_t>(got) : 0);
}

int64_t CActiveFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  std::shared_lock lock(m_mutex);
  return m_open ? m_file.readAt(offset, buffer, count) : -1;
}

int64_t CActiveFile::WriteAt(uint64_t offset, const void* data, size_t count) {
  std::shared_lock lock(m_mutex);
  return m_open ? m_file.writeAt(offset, data, count) : -1;
}

bool CActiveFile::SetLength(uint64_t length) {
  std::shared_lock lock(m_mutex);
  return m_open && m_file.setLength(length);
}

uint64_t CActiveFile::GetLength() const {
  std::shared_lock lock(m_mutex);
  return m_open ? m_file.length() : 0;
}
