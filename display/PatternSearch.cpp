#include "display/PatternSearch.h"

#include <algorithm>
#include <cstring>

#include "common/ItemRecord.h"
#include "display/ItemBlockReader.h"

namespace {

using Bytes16 = uint8_t __attribute__((vector_size(16)));

// The data bytes among 48 bytes (8 items), as three masks of 16 lanes.
constexpr Bytes16 DATA_LANES[3] = {
    {0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0},
    {0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF},
    {0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0},
};

Bytes16 load16(const uint8_t* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Index of the first item from i on that passes the filter and holds the byte, or n.
// Nearly every item of a search is skipped here, so this loop sets the speed: eight
// items at a time are compared in three vector compares (the compiler's vector
// extension: SSE2 or NEON), and only a group with a hit is looked at item by item.
size_t nextCandidate(const uint8_t* items, size_t i, size_t n, uint8_t byte, uint8_t mask, uint8_t want) {
  const Bytes16 wanted = byte - Bytes16{};
  for (;; i += 8) {
    if (i + 8 <= n) {
      const uint8_t* p = items + i * ITEM_SIZE;
      const Bytes16 hits = ((load16(p) == wanted) & DATA_LANES[0]) |
                           ((load16(p + 16) == wanted) & DATA_LANES[1]) |
                           ((load16(p + 32) == wanted) & DATA_LANES[2]);
      uint64_t halves[2];
      std::memcpy(halves, &hits, sizeof halves);
      if ((halves[0] | halves[1]) == 0) continue;
    }
    for (const size_t stop = std::min(i + 8, n); i < stop; ++i) {
      const uint8_t* p = items + i * ITEM_SIZE;
      if (p[1] == byte && (p[0] & mask) == want) return i;
    }
    if (i >= n) return n;
    i -= 8;
  }
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
