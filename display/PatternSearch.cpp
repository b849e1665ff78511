#include "display/PatternSearch.h"

#include "common/ItemRecord.h"
#include "display/ItemBlockReader.h"

namespace {

// Index of the first item from i on that passes the filter and holds the byte, or n.
// Nearly every item of a search is skipped here, so this loop sets the speed.
size_t nextCandidate(const uint8_t* items, size_t i, size_t n, uint8_t byte, uint8_t mask, uint8_t want) {
  for (; i + 4 <= n; i += 4) {
    const uint8_t* p = items + i * ITEM_SIZE;
    if ((p[1] == byte) | (p[7] == byte) | (p[13] == byte) | (p[19] == byte)) break;
  }
  for (; i < n; ++i) {
    const uint8_t* p = items + i * ITEM_SIZE;
    if (p[1] == byte && (p[0] & mask) == want) return i;
  }
  return n;
}

}  // namespace

void ScanForPattern(const CActiveFile& file, SearchState& s) {
  s.found = 0;
  if (s.patternLength == 0 || s.patternLength > PATTERN_MAX_BYTES) return;
  const uint8_t mask = (s.direction == 1 || s.direction == 2) ? ITEM_FLAG_SLAVE : 0;
  const uint8_t want = s.direction == 2 ? ITEM_FLAG_SLAVE : 0;
  const uint8_t first = s.pattern[0];
  uint32_t m = s.matchIndex;

  ItemBlockReader reader(file, s.position);
  for (std::span<const uint8_t> block = reader.Next(); !block.empty(); block = reader.Next()) {
    const uint8_t* items = block.data();
    const size_t n = block.size() / ITEM_SIZE;
    size_t i = 0;
    while (i < n) {
      if (m == 0) {
        i = nextCandidate(items, i, n, first, mask, want);
        if (i == n) break;
        m = 1;
      } else {
        const uint8_t* p = items + i * ITEM_SIZE;
        if ((p[0] & mask) != want || p[1] != s.pattern[m])
          m = 0;
        else
          ++m;
      }
      ++i;
      if (m == s.patternLength) {
        s.matchIndex = 0;
        s.position = reader.BlockOffset() + i * ITEM_SIZE;
        ++s.occurrences;
        s.found = 1;
        return;
      }
    }
  }
  s.matchIndex = m;
}
