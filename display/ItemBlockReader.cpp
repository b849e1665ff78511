#include "display/ItemBlockReader.h"

#include <algorithm>

#include "capture/CActiveFile.h"
#include "common/ItemRecord.h"

ItemBlockReader::ItemBlockReader(const CActiveFile& file, uint64_t offset, uint64_t endOffset)
    : m_file(file), m_offset(offset), m_end(endOffset) {}

std::span<const uint8_t> ItemBlockReader::Next() {
  if (m_offset >= m_end) return {};
  const uint64_t want =
      std::min<uint64_t>(BLOCK_ITEMS * ITEM_SIZE, (m_end - m_offset) / ITEM_SIZE * ITEM_SIZE);
  if (want == 0) return {};
  if (m_buffer.size() < want) m_buffer.resize(static_cast<size_t>(want));
  const int64_t got = m_file.ReadAt(m_offset, m_buffer.data(), static_cast<size_t>(want));
  if (got < static_cast<int64_t>(ITEM_SIZE)) {
    m_end = m_offset;
    return {};
  }
  const auto whole = static_cast<size_t>(got) / ITEM_SIZE * ITEM_SIZE;
  m_blockOffset = m_offset;
  m_offset += whole;
  // A short read is the end of the file: the next call ends without another read.
  if (static_cast<uint64_t>(got) < want) m_end = m_offset;
  return {m_buffer.data(), whole};
}
