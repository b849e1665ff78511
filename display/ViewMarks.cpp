#include "display/ViewMarks.h"

#include <algorithm>

#include "common/CellCodes.h"

void ViewMarks::markItem(uint32_t item, uint32_t code) {
  if (item == ITEM_NONE) return;
  const int64_t cell = static_cast<int64_t>(item) - m_screen.GetFirstItem();
  if (cell >= 0 && cell < static_cast<int64_t>(m_screen.GetCellCount()))
    m_screen.markCell(static_cast<uint32_t>(cell), code);
}

void ViewMarks::OnCellNotice(uint32_t code, uint32_t cell) {
  const uint32_t first = m_screen.GetFirstItem();
  const uint32_t item = first + cell;
  switch (code) {
    case NOTICE_CURSOR:
      if (cell == m_cursor - first) return;
      markItem(m_cursor, MARK_CURSOR_OFF);
      m_cursor = item;
      break;
    case NOTICE_REFERENCE:
      if (cell == m_reference - first) return;
      markItem(m_reference, MARK_REFERENCE_OFF);
      m_reference = item;
      break;
    case NOTICE_RANGE_FIRST:
    case NOTICE_RANGE_LAST: {
      const bool firstEnd = code == NOTICE_RANGE_FIRST;
      uint32_t& end = firstEnd ? m_rangeFirst : m_rangeLast;
      UnmarkRange();
      markItem(end, firstEnd ? MARK_RANGE_OFF : MARK_RANGE_LAST_OFF);
      end = item;
      MarkRange();
      break;
    }
    case NOTICE_RANGE_CLEAR:
      UnmarkRange();
      m_rangeFirst = m_rangeLast = ITEM_NONE;
      break;
    default:
      break;
  }
}

void ViewMarks::StepMark(bool reference, bool back, uint32_t itemCount) {
  uint32_t& mark = reference ? m_reference : m_cursor;
  const bool canMove = mark != ITEM_NONE && (back ? mark > 0 : mark + 1 < itemCount);
  if (!canMove) return;
  markItem(mark, reference ? MARK_REFERENCE_OFF : MARK_CURSOR_OFF);
  mark = back ? mark - 1 : mark + 1;
  markItem(mark, reference ? MARK_REFERENCE_ON : MARK_CURSOR_ON);
}

void ViewMarks::postRange(uint32_t code) {
  if (m_rangeFirst == ITEM_NONE || m_rangeLast == ITEM_NONE || m_rangeLast <= m_rangeFirst) return;
  const uint32_t cells = m_screen.GetCellCount();
  if (cells == 0) return;
  // Only the part of the range on the screen gets a message.
  const uint64_t first = m_screen.GetFirstItem();
  const uint64_t from = std::max<uint64_t>(m_rangeFirst, first);
  const uint64_t to = std::min<uint64_t>(m_rangeLast, first + cells - 1);
  if (from <= to)
    m_screen.markCells(static_cast<uint32_t>(from - first), static_cast<uint32_t>(to - from + 1), code);
}

void ViewMarks::MarkRange() { postRange(MARK_RANGE_ON); }
void ViewMarks::UnmarkRange() { postRange(MARK_RANGE_OFF); }

void ViewMarks::RefreshMarkers() {
  const uint32_t first = m_screen.GetFirstItem();
  const uint32_t marked = m_markedFirstItem;
  if (first == marked) return;
  const int64_t cells = m_screen.GetCellCount();
  auto move = [&](uint32_t item, uint32_t off, uint32_t on) {
    if (item == ITEM_NONE) return;
    const int64_t oldCell = static_cast<int64_t>(item) - marked;
    const int64_t newCell = static_cast<int64_t>(item) - first;
    if (oldCell >= 0 && oldCell < cells) m_screen.markCell(static_cast<uint32_t>(oldCell), off);
    if (newCell >= 0 && newCell < cells) m_screen.markCell(static_cast<uint32_t>(newCell), on);
  };
  move(m_cursor, MARK_CURSOR_OFF, MARK_CURSOR_ON);
  move(m_reference, MARK_REFERENCE_OFF, MARK_REFERENCE_ON);
  if (m_searchFirst != ITEM_NONE) {
    const int64_t oldCell = static_cast<int64_t>(m_searchFirst) - marked;
    // The cells from a mark's first cell, as many as the mark is long and exist.
    auto span = [&](int64_t cell) {
      return static_cast<uint32_t>(std::max<int64_t>(0, std::min<int64_t>(m_searchLength, cells - cell)));
    };
    if (oldCell >= 0 && oldCell < cells)
      m_screen.markCells(static_cast<uint32_t>(oldCell), span(oldCell), MARK_SEARCH_OFF);
    if (m_searchFirst >= first) {
      const int64_t newCell = static_cast<int64_t>(m_searchFirst) - first;
      if (newCell < cells) m_screen.markCells(static_cast<uint32_t>(newCell), span(newCell), MARK_SEARCH_ON);
    }
  }
  m_markedFirstItem = first;
}

void ViewMarks::ClearMarkers() {
  markItem(m_cursor, MARK_CURSOR_OFF);
  markItem(m_reference, MARK_REFERENCE_OFF);
  // The range's marks stay where they were drawn when the content moves, and a cell
  // marks an end itself: every cell may carry one.
  m_screen.markAllCells(MARK_RANGE_OFF);
  m_cursor = m_reference = m_rangeFirst = m_rangeLast = ITEM_NONE;
}

void ViewMarks::ClearSearchMarks() { m_screen.markAllCells(MARK_SEARCH_OFF); }

void ViewMarks::ShowOnNewCells(uint32_t from) {
  const uint32_t first = m_screen.GetFirstItem();
  const uint64_t firstNew = static_cast<uint64_t>(first) + from;
  const uint64_t end = static_cast<uint64_t>(first) + m_screen.GetCellCount();
  auto onNewCells = [&](uint32_t item) { return item != ITEM_NONE && item >= firstNew && item < end; };
  if (onNewCells(m_cursor)) m_screen.markCell(m_cursor - first, MARK_CURSOR_ON);
  if (onNewCells(m_reference)) m_screen.markCell(m_reference - first, MARK_REFERENCE_ON);
  if (m_searchFirst != ITEM_NONE && m_searchLength > 0) {
    const uint64_t markFrom = std::max<uint64_t>(m_searchFirst, firstNew);
    const uint64_t markTo = std::min<uint64_t>(static_cast<uint64_t>(m_searchFirst) + m_searchLength, end);
    if (markFrom < markTo)
      m_screen.markCells(static_cast<uint32_t>(markFrom - first), static_cast<uint32_t>(markTo - markFrom),
                         MARK_SEARCH_ON);
  }
}
