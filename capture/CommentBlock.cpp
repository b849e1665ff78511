#include "capture/CommentBlock.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/CActiveFile.h"
#include "platform/FileReplacer.h"

namespace {

constexpr size_t COPY_BLOCK = 1 << 20;

// The bytes from offset up to the first NUL, the end of the range or the end of the
// file, whichever comes first. A block size may claim more than the file holds.
QByteArray readText(const CActiveFile& file, uint64_t offset, uint64_t end) {
  QByteArray text;
  char buffer[64 * 1024];
  while (offset < end) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, end - offset));
    const int64_t got = file.ReadAt(offset, buffer, want);
    if (got <= 0) break;
    const void* nul = std::memchr(buffer, 0, static_cast<size_t>(got));
    if (nul) {
      text.append(buffer, static_cast<const char*>(nul) - buffer);
      break;
    }
    text.append(buffer, static_cast<qsizetype>(got));
    offset += static_cast<uint64_t>(got);
  }
  return text;
}

}  // namespace

CommentBlock::Found CommentBlock::Load(const CActiveFile& file) {
  m_text.clear();
  const std::optional<AcquisitionHeader> found = file.ReadHeader();
  m_header = found.value_or(AcquisitionHeader{});
  // The form found is the form written back, whatever size the block grows to.
  m_header.magic = m_header.IsCurrentForm();
  if (!found) return Found::NoBlock;
  if (m_header.blockSize <= LEGACY_LEAD_SIZE) return Found::Empty;
  if (m_header.magic && m_header.blockSize == ACQUISITION_HEADER_SIZE) return Found::Fresh;
  m_text = readText(file, m_header.magic ? ACQUISITION_HEADER_SIZE : LEGACY_LEAD_SIZE, m_header.blockSize);
  return Found::StoredText;
}

QByteArray CommentBlock::WithLineBreak(QByteArray text) {
  if (text.isEmpty() || (!text.endsWith('\r') && !text.endsWith('\n'))) text.append("\r\n");
  return text;
}

QByteArray CommentBlock::HeadBytes(const QByteArray& text, uint32_t blockSize) const {
  AcquisitionHeader header = m_header;
  header.blockSize = blockSize;
  return header.Make() + text + '\0';
}

bool CommentBlock::Store(CActiveFile& file, const QByteArray& text, platform::FileError& error) {
  const uint64_t needed = static_cast<uint64_t>(text.size()) + BLOCK_OVERHEAD;
  if (needed > UINT32_MAX) {
    error = {platform::FILE_CAUSE_DISK_FULL, EFBIG};
    return false;
  }
  if (needed > m_header.blockSize) {
    const auto growBy = static_cast<uint32_t>(needed - m_header.blockSize);
    if (!grow(file, HeadBytes(text, static_cast<uint32_t>(needed)), growBy, error)) return false;
    m_header.blockSize = static_cast<uint32_t>(needed);
    return true;
  }
  // The block keeps its size and the bytes after the NUL; one write changes only the
  // head of the block.
  const QByteArray head = HeadBytes(text, m_header.blockSize);
  if (file.WriteAt(0, head.constData(), static_cast<size_t>(head.size())) != head.size()) {
    const int err = errno;
    error = {platform::fileCauseFromErrno(err), err};
    return false;
  }
  return true;
}

// The result is the bytes that moving the whole file up by growBy, from its end
// backwards, and then writing head at 0 gives: the first growBy bytes keep what was
// there (nothing, past the old end), the old file follows, and head lies over both.
// An empty file has nothing to move: it becomes head alone.
bool CommentBlock::grow(CActiveFile& file, const QByteArray& head, uint32_t growBy, platform::FileError& error) {
  const uint64_t oldLength = file.GetLength();
  const uint64_t prefixLength = std::max<uint64_t>(oldLength ? growBy : 0, static_cast<uint64_t>(head.size()));

  std::vector<char> prefix(prefixLength, 0);
  const uint64_t keep = std::min<uint64_t>(growBy, oldLength);
  const uint64_t moved = std::min<uint64_t>(prefixLength - growBy, oldLength);
  if ((keep && file.ReadAt(0, prefix.data(), keep) != static_cast<int64_t>(keep)) ||
      (moved && file.ReadAt(0, prefix.data() + growBy, moved) != static_cast<int64_t>(moved))) {
    error = {platform::FILE_CAUSE_HARD_IO, EIO};
    return false;
  }
  std::memcpy(prefix.data(), head.constData(), static_cast<size_t>(head.size()));

  platform::FileReplacer replacement;
  if (!replacement.Begin(file.GetPath(), &error) || !replacement.Write(prefix.data(), prefix.size(), &error))
    return false;
  std::vector<char> buffer(COPY_BLOCK);
  for (uint64_t at = moved; at < oldLength;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(COPY_BLOCK, oldLength - at));
    const int64_t got = file.ReadAt(at, buffer.data(), want);
    if (got != static_cast<int64_t>(want)) {
      error = {platform::FILE_CAUSE_HARD_IO, got < 0 ? errno : EIO};
      return false;
    }
    if (!replacement.Write(buffer.data(), want, &error)) return false;
    at += want;
  }
  return replacement.Commit(&error);
}
