#include "display/CellGeometry.h"

#include "common/SystemTypes.h"
#include "common/CellCodes.h"

namespace cellgeometry {

uint32_t gridColumns(int clientWidth) {
  return clientWidth < -9 ? 0 : static_cast<uint32_t>(clientWidth + 9) / CELL_WIDTH;
}

static uint32_t gridRows(int clientHeight) {
  return clientHeight < -19 ? 0 : static_cast<uint32_t>(clientHeight + 19) / CELL_HEIGHT;
}

bool isListMode(uint32_t displayAttribute) {
  // The grid modes take precedence, as in the cells.
  return displayModeOf(displayAttribute) == DISPLAY_LIST;
}

uint32_t neededCellCount(uint32_t displayAttribute, int clientWidth, int clientHeight) {
  if (isListMode(displayAttribute))
    return clientHeight < -19 ? 0 : static_cast<uint32_t>(clientHeight + 19) / LIST_ROW_HEIGHT;
  return gridRows(clientHeight) * gridColumns(clientWidth);
}

uint32_t rowLength(uint32_t displayAttribute, int clientWidth) {
  return isListMode(displayAttribute) ? 1 : gridColumns(clientWidth);
}

QRect gridPlace(uint32_t index, int clientWidth) {
  const uint32_t cols = gridColumns(clientWidth);
  const uint32_t col = cols ? index % cols : 0;
  const uint32_t row = cols ? index / cols : index;
  return QRect(static_cast<int>(col) * CELL_WIDTH + CELL_MARGIN,
               static_cast<int>(row) * CELL_HEIGHT + CELL_MARGIN, CELL_WIDTH, CELL_HEIGHT);
}

QRect listPlace(uint32_t index, int clientWidth) {
  return QRect(CELL_MARGIN, static_cast<int>(index) * LIST_ROW_HEIGHT + CELL_MARGIN,
               clientWidth - 2 * CELL_MARGIN, LIST_ROW_HEIGHT);
}

uint32_t displayModeOf(uint32_t bits) {
  if (bits & DISPLAY_HEX) return DISPLAY_HEX;
  if (bits & DISPLAY_ASCII) return DISPLAY_ASCII;
  if (bits & DISPLAY_LIST) return DISPLAY_LIST;
  return 0;
}

}  // namespace cellgeometry
