#pragma once

#include <cstdint>

#include "common/CommandIds.h"

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
