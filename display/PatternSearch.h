#pragma once

#include <cstdint>

#include "capture/PatternText.h"
#include "common/ItemRecord.h"

class CActiveFile;

// Progress of a pattern search in the shown file. A restart clears it all.
struct SearchState {
  // File offset at which the next step starts reading; after a match, the offset just
  // behind the match's last item. 64 bits, so files beyond 4 GiB are searched whole.
  uint64_t position = 0;
  uint32_t dataStart = 0;      // offset of item 0 (the header size)
  uint32_t patternLength = 0;  // 1 to PATTERN_MAX_BYTES
  // 0 every item; 1 only items sent by the master side (flag bit 7 clear); 2 only
  // those of the peripheral side (bit 7 set); any other value filters nothing.
  uint32_t direction = 0;
  uint32_t matchIndex = 0;   // leading pattern bytes matched by the items just read
  uint32_t occurrences = 0;  // matches since the restart
  uint32_t found = 0;        // 1: the last step ended on a match; 0: at the end of the file
  uint8_t pattern[PATTERN_MAX_BYTES] = {};

  // First item of the match that the last step found, for a file whose items start
  // at dataStart (32-bit arithmetic, as the item indexes of the view).
  uint32_t MatchFirstItem(uint32_t itemStart) const {
    return static_cast<uint32_t>((position - itemStart) / ITEM_SIZE) - patternLength;
  }
};

// One search step: reads from state.position on until the next match (found = 1,
// position just behind it, occurrences + 1) or the end of the file (found = 0,
// position unchanged). An item that the direction filter skips ends a partial match;
// an item that breaks a partial match is not tried again as the start of a new one,
// and matches never overlap.
void ScanForPattern(const CActiveFile& file, SearchState& state);
