#pragma once

#include <cstdint>

// Command ids that reach the view, and the rules that enable them. A disabled
// command does nothing, also when it arrives as a posted command.
inline constexpr uint32_t ID_START_RECORDING = 32772;
inline constexpr uint32_t ID_STOP_RECORDING = 32774;
inline constexpr uint32_t ID_REALTIME_DISPLAY = 32775;
inline constexpr uint32_t ID_TRIGGER_SETUP = 32777;
inline constexpr uint32_t ID_COMMENT_EDITOR = 32781;
inline constexpr uint32_t ID_REFRESH = 32785;
inline constexpr uint32_t ID_DISPLAY_HEX = 32786;
inline constexpr uint32_t ID_DISPLAY_ASCII = 32787;
inline constexpr uint32_t ID_DISPLAY_LIST = 32788;
inline constexpr uint32_t ID_RESTART_RECORDING = 32799;

// The commands of other layers whose enable rules the view decides; their ids are
// given by the command layer that owns them.
enum class ViewCommand {
  StartRecording,
  StopRecording,
  RestartRecording,
  RangeChecksum,
  Print,
  PrintPreview,
  Refresh,
  DisplayHex,
  DisplayAscii,
  DisplayList,
  CommentEditor,
  GoToItem,
  SearchPattern,
  ContinueSearch,
  RealtimeDisplay,
  TriggerSetup,
  DebugInformation,
};

struct ViewCommandState {
  bool recording = false;
  bool connected = false;
  bool fileOpen = false;
  bool rangeSet = false;  // range first and range last are both set
};

bool viewCommandEnabled(ViewCommand command, const ViewCommandState& state);
