#include "app/CommandTable.h"

#include "common/CommandIds.h"

const std::vector<const char*>& MenuTitles() {
  static const std::vector<const char*> titles = {"&File",    "&Analyze", "&Search", "&Calculate",
                                                  "&Options", "&Edit",    "&View",   "&Help"};
  return titles;
}

const std::vector<CommandEntry>& MenuCommands() {
  // The captions name F4, F8, F9, F10 and Ctrl+E, so those keys reach their
  // commands too.
  static const std::vector<CommandEntry> table = {
      {"&File", ID_FILE_OPEN, "&Open...\tCtrl+O", "Open an existing analyzer file.", QKeySequence("Ctrl+O")},
      {"&File", 0, nullptr, nullptr, {}},
      {"&File", ID_FILE_PRINT, "&Print...\tCtrl+P", "Print the active document.", QKeySequence("Ctrl+P")},
      {"&File", ID_FILE_PRINT_PREVIEW, "Print Pre&view", "Display full pages", {}},
      {"&File", ID_FILE_PRINT_SETUP, "P&rint Setup...", "Change the printer and printing options", {}},
      {"&File", 0, nullptr, nullptr, {}},
      {"&File", ID_FILE_MRU_FILE1, "Recent File", "Open this document", {}},
      {"&File", 0, nullptr, nullptr, {}},
      {"&File", ID_APP_EXIT, "E&xit\tAlt+F4", "Quit the application; prompts to save documents", {}},
      {"&Analyze", ID_START_RECORDING, "&Start Recording\tF5", "Start data aquisition.", QKeySequence(Qt::Key_F5)},
      {"&Analyze", ID_STOP_RECORDING, "Stop &Recording\tF6", "Stop data aquisition.", QKeySequence(Qt::Key_F6)},
      {"&Analyze", ID_RESTART_RECORDING, "&Restart Recording\tF4", "Restart data aquisition.",
       QKeySequence(Qt::Key_F4)},
      {"&Analyze", 0, nullptr, nullptr, {}},
      {"&Analyze", ID_CONNECT_DEVICE, "&Connect to Device", "Connect to the QX-7700 device.", {}},
      {"&Analyze", ID_DISCONNECT_DEVICE, "&Disconnect Device", "Disconnect from QX-7700 device.", {}},
      {"&Search", ID_SEARCH_PATTERN, "Search Pattern\tCtrl+F", "Search for a specific byte pattern sequence.",
       QKeySequence("Ctrl+F")},
      {"&Search", ID_CONTINUE_SEARCH, "Continue Search\tF3", "Continue search to the next item.",
       QKeySequence(Qt::Key_F3)},
      {"&Search", 0, nullptr, nullptr, {}},
      {"&Search", ID_GO_TO_ITEM, "&Go to Item", "Go to a specifig item number.", {}},
      {"&Calculate", ID_CALCULATE_CHECKSUM, "HDLC CRC16 (XModem)", nullptr, {}},
      {"&Options", ID_REALTIME_DISPLAY, "&Realtime Display", "Realtime display while rcording...", {}},
      {"&Options", 0, nullptr, nullptr, {}},
      {"&Options", ID_TRIGGER_SETUP, "&Trigger Setup", "Trigger setup for start and stop of recording...", {}},
      {"&Options", 0, nullptr, nullptr, {}},
      {"&Options", ID_SETTINGS, "&Settings", "View application settings.", {}},
      {"&Options", ID_UPDATE_FIRMWARE, "&Update Firmware", "Update MDB/USB interface firmware.", {}},
      {"&Edit", ID_COMMENT_EDITOR, "Comment &Editor\t Ctrl+E", "Open's comment editor for view and edit of comments.",
       QKeySequence("Ctrl+E")},
      {"&View", ID_REFRESH, "&Refresh\tF7", "Refresh current display.", QKeySequence(Qt::Key_F7)},
      {"&View", ID_DISPLAY_HEX, "Display &Hexadecimal\tF8", "Display aquisition data in hexadecimal.",
       QKeySequence(Qt::Key_F8)},
      {"&View", ID_DISPLAY_ASCII, "Display &ASCII\tF9", "Display aquisition data in ASCII.", QKeySequence(Qt::Key_F9)},
      {"&View", ID_DISPLAY_LIST, "Display &List\tF10", "Display aquisition data in list view.",
       QKeySequence(Qt::Key_F10)},
      {"&View", 0, nullptr, nullptr, {}},
      {"&View", ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", {}},
      {"&View", ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", {}},
      {"&View", 0, nullptr, nullptr, {}},
      {"&View", ID_DEBUG_INFORMATION, "&Debug Information\tCtrl+D", nullptr, QKeySequence("Ctrl+D")},
      {"&Help", ID_APP_ABOUT, "&About VRIM...", "Display program information, version number and copyright", {}},
  };
  return table;
}

const std::vector<uint32_t>& ToolbarCommands() {
  static const std::vector<uint32_t> buttons = {
      ID_FILE_OPEN,       ID_FILE_PRINT,        0,
      ID_CONNECT_DEVICE,  ID_DISCONNECT_DEVICE, 0,
      ID_START_RECORDING, ID_STOP_RECORDING,    ID_RESTART_RECORDING, 0,
      ID_REFRESH,         ID_DISPLAY_HEX,       ID_DISPLAY_ASCII,     ID_DISPLAY_LIST, 0,
      ID_SEARCH_PATTERN,  ID_TRIGGER_SETUP,     ID_GO_TO_ITEM,        0,
      ID_COMMENT_EDITOR,  ID_SETTINGS,          0,
      ID_APP_ABOUT};
  return buttons;
}
