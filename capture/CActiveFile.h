#pragma once

#include <QString>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <shared_mutex>

#include "common/AcquisitionHeader.h"
#include "common/ItemRecord.h"
#include "platform/File.h"

// The acquisition file that the view shows: the file being recorded or one the user
// opened. Several threads read it (the UI, the MDB decoder): every read is
// positional, so no reader moves a position under another, and reads are guarded by
// the same lock that guards closing and reopening the handle.
class CActiveFile {
public:
  CActiveFile() = default;
  ~CActiveFile();
  CActiveFile(const CActiveFile&) = delete;
  CActiveFile& operator=(const CActiveFile&) = delete;

  // Closes, then opens path read-only with read and write sharing. On failure shows
  // "Open file failed, Error: %u\r\nFile: %s" and keeps the earlier path.
  bool Open(const QString& path);
  // Closes and opens the remembered path again: read-write exclusive (fails while a
  // recording writes the file) or read-only shared.
  bool Reopen(bool forWrite);
  void Close();
  bool IsOpen() const;
  QString GetPath() const;

  // size := the header block size when the file starts with 8 zero bytes followed by
  // the size field (TRUE), else 0 (FALSE: items start at byte 0).
  bool ReadCommentSize(uint32_t& size) const;
  // The file's header block as its first bytes give it; none as above.
  std::optional<AcquisitionHeader> ReadHeader() const;

  // Positional reads; short at the end of the file, -1 when closed or on error.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  // Writes for the holder of the exclusive reopen (the comment editor).
  int64_t WriteAt(uint64_t offset, const void* data, size_t count);
  bool SetLength(uint64_t length);
  uint64_t GetLength() const;

  // Number of whole items after a header of the given size; 0 when the header
  // claims more than the file holds.
  static uint64_t ItemCount(uint64_t fileLength, uint64_t headerSize) {
    return fileLength > headerSize ? (fileLength - headerSize) / ITEM_SIZE : 0;
  }
  // The same count as the view keeps it, in 32 bits: ITEM_NONE stays free to mean
  // "no item", so a larger file shows its first ITEM_NONE - 1 items.
  static uint32_t ShownItemCount(uint64_t fileLength, uint64_t headerSize) {
    return static_cast<uint32_t>(std::min<uint64_t>(ItemCount(fileLength, headerSize), ITEM_NONE - 1));
  }

private:
  bool openLocked(const QString& path, platform::File::Mode mode, platform::FileError& err);

  mutable std::shared_mutex m_mutex;
  platform::File m_file;
  bool m_open = false;
  QString m_path;
};
