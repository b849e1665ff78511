#pragma once

#include <cstdint>

// Command ids of the menu, the toolbar and the accelerators. Commands posted by the
// program to itself (WM_COMMAND) carry the same ids.
inline constexpr uint32_t WM_COMMAND = 0x0111;  // wParam: command id

inline constexpr uint32_t ID_FILE_NEW = 57600;
inline constexpr uint32_t ID_FILE_OPEN = 57601;
inline constexpr uint32_t ID_FILE_SAVE = 57603;
inline constexpr uint32_t ID_FILE_PRINT_SETUP = 57606;
inline constexpr uint32_t ID_FILE_PRINT = 57607;
inline constexpr uint32_t ID_FILE_PRINT_DIRECT = 57608;
inline constexpr uint32_t ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr uint32_t ID_FILE_MRU_FILE1 = 57616;  // to 57625
inline constexpr uint32_t ID_EDIT_COPY = 57634;
inline constexpr uint32_t ID_EDIT_CUT = 57635;
inline constexpr uint32_t ID_EDIT_PASTE = 57637;
inline constexpr uint32_t ID_EDIT_UNDO = 57643;
inline constexpr uint32_t ID_APP_ABOUT = 57664;
inline constexpr uint32_t ID_APP_EXIT = 57665;
inline constexpr uint32_t ID_PREV_PANE = 57681;
inline constexpr uint32_t ID_VIEW_TOOLBAR = 59392;
inline constexpr uint32_t ID_VIEW_STATUS_BAR = 59393;

inline constexpr uint32_t ID_START_RECORDING = 32772;
inline constexpr uint32_t ID_STOP_RECORDING = 32774;
inline constexpr uint32_t ID_REALTIME_DISPLAY = 32775;
inline constexpr uint32_t ID_TRIGGER_SETUP = 32777;
inline constexpr uint32_t ID_SETTINGS = 32778;
inline constexpr uint32_t ID_COMMENT_EDITOR = 32781;
inline constexpr uint32_t ID_UPDATE_FIRMWARE = 32784;
inline constexpr uint32_t ID_REFRESH = 32785;
inline constexpr uint32_t ID_DISPLAY_HEX = 32786;
inline constexpr uint32_t ID_DISPLAY_ASCII = 32787;
inline constexpr uint32_t ID_DISPLAY_LIST = 32788;
inline constexpr uint32_t ID_GO_TO_ITEM = 32790;
inline constexpr uint32_t ID_CONNECT_DEVICE = 32793;
inline constexpr uint32_t ID_DISCONNECT_DEVICE = 32794;
inline constexpr uint32_t ID_RESTART_RECORDING = 32799;
inline constexpr uint32_t ID_SEARCH_PATTERN = 32801;
inline constexpr uint32_t ID_CONTINUE_SEARCH = 32803;
inline constexpr uint32_t ID_CALCULATE_CHECKSUM = 32810;
inline constexpr uint32_t ID_DEBUG_INFORMATION = 32814;
