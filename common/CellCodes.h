#pragma once

#include <cstdint>

// Codes carried by the cell messages, shared by the view, the cells and the decoder.

// WM_CELL_DATA wParam.
inline constexpr uint32_t CELLDATA_ITEM = 0;      // payload: ItemRecord
inline constexpr uint32_t CELLDATA_CLEAR = 1;     // the cell shows no item; marks stay
inline constexpr uint32_t CELLDATA_SETBITS = 2;   // state |= lParam
inline constexpr uint32_t CELLDATA_MASKBITS = 3;  // state &= lParam
inline constexpr uint32_t CELLDATA_MODE = 4;      // display mode in lParam
inline constexpr uint32_t CELLDATA_PROTOCOL = 5;  // protocol in the low byte of lParam
inline constexpr uint32_t CELLDATA_TEXT = 6;      // payload: std::string (8-bit), none = empty

// WM_CELL_MARK wParam, view to cell.
inline constexpr uint32_t MARK_CURSOR_ON = 2;
inline constexpr uint32_t MARK_CURSOR_OFF = 3;
inline constexpr uint32_t MARK_REFERENCE_ON = 4;
inline constexpr uint32_t MARK_REFERENCE_OFF = 5;
inline constexpr uint32_t MARK_SEARCH_ON = 6;
inline constexpr uint32_t MARK_SEARCH_OFF = 7;
inline constexpr uint32_t MARK_RANGE_ON = 8;
inline constexpr uint32_t MARK_RANGE_OFF = 9;
inline constexpr uint32_t MARK_RANGE_LAST_ON = 10;   // acts as MARK_RANGE_ON
inline constexpr uint32_t MARK_RANGE_LAST_OFF = 11;  // acts as MARK_RANGE_OFF

// WM_CELL_MARK wParam, cell to view (lParam = cell number).
inline constexpr uint32_t NOTICE_CURSOR = 3;
inline constexpr uint32_t NOTICE_REFERENCE = 5;
inline constexpr uint32_t NOTICE_RANGE_FIRST = 9;
inline constexpr uint32_t NOTICE_RANGE_LAST = 11;
inline constexpr uint32_t NOTICE_RANGE_CLEAR = 12;

// Cell state bits. Bits 1 to 3 hold the display mode (DISPLAY_HEX, _ASCII, _LIST).
inline constexpr uint32_t CELL_ITEM = 0x00000001u;
inline constexpr uint32_t CELL_MODE_MASK = 0x0000000Eu;
inline constexpr uint32_t CELL_CURSOR = 0x00010000u;
inline constexpr uint32_t CELL_CURSOR_OFF = 0x00020000u;
inline constexpr uint32_t CELL_REFERENCE = 0x00040000u;
inline constexpr uint32_t CELL_REFERENCE_OFF = 0x00080000u;
inline constexpr uint32_t CELL_SEARCH = 0x00100000u;
inline constexpr uint32_t CELL_SEARCH_OFF = 0x00200000u;
inline constexpr uint32_t CELL_RANGE = 0x00400000u;
inline constexpr uint32_t CELL_RANGE_OFF = 0x00800000u;
inline constexpr uint32_t CELL_SWAP = 0x80000000u;

// WM_CELL_INIT wParam bit that the view sets when the directions are swapped.
inline constexpr uint32_t CELLINIT_SWAP = 0x8000u;

// Commands of a cell's popup menu.
inline constexpr uint32_t ID_CELL_SET_REFERENCE = 121;
inline constexpr uint32_t ID_CELL_SELECT_FIRST = 104;
inline constexpr uint32_t ID_CELL_SELECT_LAST = 105;
inline constexpr uint32_t ID_CELL_CLEAR_SELECTION = 106;

// Control id of cell 0; cell i has CELL_CONTROL_ID_BASE + i.
inline constexpr uint32_t CELL_CONTROL_ID_BASE = 5000;

// Cell sizes in pixels.
inline constexpr int CELL_WIDTH = 20;
inline constexpr int CELL_HEIGHT = 30;
inline constexpr int LIST_ROW_HEIGHT = 16;
inline constexpr int CELL_MARGIN = 5;
