#pragma once

#include <QRect>
#include <cstdint>

// Where cells sit in the view's client area and how many of them it holds.
// Grid cells are 20 x 30 pixels in columns of 20 and rows of 30 pixels, a partial
// column or row counting from 11 pixels on; list rows are 16 pixels high.
namespace cellgeometry {

// Columns of the grid for a client width: (width + 9) / 20.
uint32_t gridColumns(int clientWidth);
// Cells that a client area needs in a display mode.
uint32_t neededCellCount(uint32_t displayAttribute, int clientWidth, int clientHeight);
// Items per row: the grid's column count, 1 in list mode.
uint32_t rowLength(uint32_t displayAttribute, int clientWidth);

// The grid place of cell index; with no column (a client narrower than 11 pixels)
// every cell goes to the first column.
QRect gridPlace(uint32_t index, int clientWidth);
QRect listPlace(uint32_t index, int clientWidth);

// The display mode held in bits 1 to 3 of a display attribute or a cell state:
// DISPLAY_HEX, DISPLAY_ASCII, DISPLAY_LIST in that order of precedence, 0 for none.
uint32_t displayModeOf(uint32_t bits);
bool isListMode(uint32_t displayAttribute);

}  // namespace cellgeometry
