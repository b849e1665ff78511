#pragma once

#include <cstdint>

#include "common/ItemRecord.h"

// The view's marks: cursor A, the reference B, the search mark and the selected
// range. They live as item indexes (ITEM_NONE when unset) here and as mark bits in
// the cells, which get WM_CELL_MARK codes. A mark goes only to a cell on the screen;
// an item off the screen keeps its index and its cell gets nothing.
//
// The range is not moved by a refresh: it is drawn only by the notices that set its
// ends, relative to the screen of that moment; clearing the markers takes it off
// every cell.
class ViewMarks {
 public:
  // The screen that the marks are drawn on: the view's first shown item and cell
  // count, and its posting of a mark code to one cell, to a run of cells (as one
  // queue entry) and to every cell.
  class Screen {
   public:
    virtual uint32_t GetFirstItem() const = 0;
    virtual uint32_t GetCellCount() const = 0;
    virtual void markCell(uint32_t cell, uint32_t code) = 0;
    virtual void markCells(uint32_t first, uint32_t count, uint32_t code) = 0;
    virtual void markAllCells(uint32_t code) = 0;

   protected:
    ~Screen() = default;
  };

  explicit ViewMarks(Screen& screen) : m_screen(screen) {}

  // A notice of cell 'cell' (NOTICE_CURSOR .. NOTICE_RANGE_CLEAR); the cell has set
  // its own mark already. Other codes are ignored.
  void OnCellNotice(uint32_t code, uint32_t cell);
  // The Left and Right keys: cursor A, or the reference, one item back or on, when it
  // is set and the item next to it is in the file.
  void StepMark(bool reference, bool back, uint32_t itemCount);
  // The search mark that the next refresh draws.
  void SetSearchMark(uint32_t first, uint32_t length) {
    m_searchFirst = first;
    m_searchLength = length;
  }
  // Moves cursor, reference and search mark after the first shown item changed.
  void RefreshMarkers();
  // The next refresh runs also when the first shown item stays, and draws the marks
  // again (taking them off the cells one item before theirs first).
  void ForceNextRefresh() { ++m_markedFirstItem; }
  // Cursor, reference and range become unset; the search mark stays.
  void ClearMarkers();
  // Every cell loses its search mark; the search mark's indexes stay.
  void ClearSearchMarks();
  // Draws the marks of the items that came on the screen with cells from 'from' on.
  void ShowOnNewCells(uint32_t from);

  uint32_t markedFirstItem() const { return m_markedFirstItem; }
  uint32_t cursor() const { return m_cursor; }
  uint32_t reference() const { return m_reference; }
  uint32_t searchFirst() const { return m_searchFirst; }
  uint32_t searchLength() const { return m_searchLength; }
  uint32_t rangeFirst() const { return m_rangeFirst; }
  uint32_t rangeLast() const { return m_rangeLast; }

 private:
  void markItem(uint32_t item, uint32_t code);  // on the screen only
  // Posts code to the cells of the range on the screen, when both ends are set and
  // the last lies behind the first.
  void postRange(uint32_t code);
  void MarkRange();
  void UnmarkRange();

  Screen& m_screen;
  uint32_t m_markedFirstItem = 0;  // the first shown item at the last refresh
  uint32_t m_cursor = ITEM_NONE;
  uint32_t m_reference = ITEM_NONE;
  uint32_t m_searchFirst = ITEM_NONE;
  uint32_t m_searchLength = 0;
  uint32_t m_rangeFirst = ITEM_NONE;
  uint32_t m_rangeLast = ITEM_NONE;
};
