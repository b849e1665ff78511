#pragma once

#include <cstdint>

#include "platform/MessageWindow.h"

// What the MDB decoder thread reads of the view that owns it. The view implements
// it; every accessor may be called from the decoder thread, so implementations
// answer from atomics (or under the view's own lock), never from widget state.
class MdbViewAccess {
public:
  virtual ~MdbViewAccess() = default;
  virtual uint32_t GetFirstItem() const = 0;         // index of the item in cell 0
  virtual uint32_t GetCellCount() const = 0;         // number of cells
  virtual uint32_t GetItemCount() const = 0;         // items in the shown file
  virtual uint32_t GetDisplayAttribute() const = 0;  // DISPLAY_HEX / _ASCII / _LIST
  // The message window of cell i, or NULL_WINDOW when there is no such cell (the
  // cell count may have changed since GetCellCount).
  virtual platform::WindowHandle GetCell(uint32_t index) const = 0;
};
