#include "display/ViewCommands.h"

bool viewCommandEnabled(ViewCommand command, const ViewCommandState& s) {
  switch (command) {
    case ViewCommand::StartRecording:
      return !s.recording && s.connected;
    case ViewCommand::StopRecording:
    case ViewCommand::RestartRecording:
      return s.recording && s.connected;
    case ViewCommand::RangeChecksum:
      return s.rangeSet;
    case ViewCommand::Print:
    case ViewCommand::PrintPreview:
    case ViewCommand::Refresh:
    case ViewCommand::DisplayHex:
    case ViewCommand::DisplayAscii:
    case ViewCommand::DisplayList:
      return s.fileOpen;
    case ViewCommand::CommentEditor:
    case ViewCommand::GoToItem:
    case ViewCommand::SearchPattern:
    case ViewCommand::ContinueSearch:
      return s.fileOpen && !s.recording;
    case ViewCommand::RealtimeDisplay:
    case ViewCommand::TriggerSetup:
    case ViewCommand::DebugInformation:
      return true;
  }
  return false;
}
