#pragma once

#include <cstdint>

// Messages posted between the subsystems. The values are the ones the rest of the
// system (and stored habits such as tests against recorded traffic) rely on.
inline constexpr uint32_t WM_USER = 0x400;

inline constexpr uint32_t WM_VIEW_STATUS = WM_USER + 0;       // to the view: status code, item count
inline constexpr uint32_t WM_DATA_WRITTEN = WM_USER + 1;      // to the view: items were appended
inline constexpr uint32_t WM_SHOW_DETAIL = WM_USER + 2;       // to the view: cell number
inline constexpr uint32_t WM_FILE_LOADED = WM_USER + 3;       // to the view: a file was opened
inline constexpr uint32_t WM_CELL_INIT = WM_USER + 4;         // to a cell: init word, index
inline constexpr uint32_t WM_CELL_LAYOUT = WM_USER + 5;       // to a cell: place yourself
inline constexpr uint32_t WM_CELL_DATA = WM_USER + 6;         // to a cell: CELLDATA_ code, value
inline constexpr uint32_t WM_CELL_MARK = WM_USER + 7;         // view <-> cell: mark code
inline constexpr uint32_t WM_SWAP_RXTX = WM_USER + 8;         // to the view: swap flag
inline constexpr uint32_t WM_SETTINGS_CHANGED = WM_USER + 9;  // to the view: settings saved
inline constexpr uint32_t WM_SEARCH_MATCH = WM_USER + 10;     // to the view: length, first item
inline constexpr uint32_t WM_SEARCH_DONE = WM_USER + 11;      // to the view: search step ended
inline constexpr uint32_t WM_STATUS_TEXT = WM_USER + 12;      // to the main frame: pane code, text

// To the main frame: bring menus and buttons up to date now (a state changed on
// another thread, e.g. the serial link came up).
inline constexpr uint32_t WM_IDLEUPDATECMDUI = 0x0363;
