#pragma once

#include <cstdint>

#include "common/ItemRecord.h"

// The view's print progress. Pages are laid out strictly one after the other, so
// everything a page needs from the pages before it is kept here; the MDB decoder
// reads index and item to name the line just printed.
struct PrintState {
  uint8_t page1Done = 0;   // page 1's part of the header has been laid out in this pass
  int32_t marginLeft = 0;  // device units
  int32_t marginTop = 0;
  int32_t marginRight = 0;
  int32_t marginBottom = 0;
  uint32_t index = 0;  // item being printed, or the next one
  int32_t x = 0;       // device position of the next grid cell or list line
  int32_t y = 0;
  uint32_t mode = 0;  // DISPLAY_HEX / _ASCII / _LIST when printing was prepared
  ItemRecord item;    // the item being printed, as read from the file
};
