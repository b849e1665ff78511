#pragma once

#include <QKeySequence>
#include <cstdint>
#include <vector>

// The menu, accelerator and toolbar entries of the main window, in menu order.
struct CommandEntry {
  const char* menu;     // pop-up menu caption
  uint32_t id;          // 0: a separator
  const char* caption;  // menu caption, with its key text after a tab
  const char* prompt;   // status-bar prompt; null: none
  QKeySequence key;     // accelerator; empty: none
};

const std::vector<CommandEntry>& MenuCommands();

// Toolbar buttons in order; 0 is a separator.
const std::vector<uint32_t>& ToolbarCommands();

// The pop-up menus in order.
const std::vector<const char*>& MenuTitles();
