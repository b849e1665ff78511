#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CActiveFile;

// Walks the items of the shown file from a byte offset on, one large positional read
// at a time, so a pass over a whole recording costs a few hundred reads instead of
// one per item and never moves a position that another reader relies on.
class ItemBlockReader {
 public:
  // 2^17 items (768 KiB): large enough that the read calls vanish from the cost,
  // small enough that the block is still in the cache when it is scanned.
  static constexpr size_t BLOCK_ITEMS = size_t{1} << 17;

  // Reads from offset up to, not including, endOffset (the end of the file at most).
  ItemBlockReader(const CActiveFile& file, uint64_t offset, uint64_t endOffset = UINT64_MAX);

  // The next whole items, or an empty span at the end of the file or range. A partial
  // item at the end of the file is never handed out.
  std::span<const uint8_t> Next();
  // File offset of the first item of the block that Next() returned last.
  uint64_t BlockOffset() const { return m_blockOffset; }

 private:
  const CActiveFile& m_file;
  uint64_t m_offset;
  uint64_t m_end;
  uint64_t m_blockOffset = 0;
  std::vector<uint8_t> m_buffer;
};
