#pragma once

#include <cstdint>

// WM_VIEW_STATUS codes: the state shown in the window title.
inline constexpr uint32_t STATUS_READY = 0;    // "Ready - Analyzer"
inline constexpr uint32_t STATUS_HALTED = 1;   // "Halted: %u / %u - Analyzer"
inline constexpr uint32_t STATUS_RUNNING = 2;  // "Running: %u / %u - Analyzer"
inline constexpr uint32_t STATUS_LOADED = 3;   // "Loaded: %u / %u - Analyzer"

// WM_STATUS_TEXT codes: the status-bar pane to set.
inline constexpr uint32_t STATUSTEXT_FILENAME = 1;  // payload: the acquisition file name
inline constexpr uint32_t STATUSTEXT_LINE = 2;      // the line settings text
