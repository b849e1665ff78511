#include "capture/CRecordingControl.h"

#include <algorithm>

#include "capture/CActiveFile.h"
#include "capture/CVRIMSocket.h"
#include "capture/DeviceCommands.h"
#include "capture/DeviceLink.h"
#include "capture/RecordingView.h"
#include "common/ItemRecord.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "platform/TickCount.h"

bool CRecordingControl::CanStart() const { return !m_view.IsRecording() && m_link.IsConnected(); }

bool CRecordingControl::CanStop() const { return m_link.IsConnected() && (m_view.IsRecording() || isWriting()); }

bool CRecordingControl::CanRestart() const { return m_view.IsRecording() && m_link.IsConnected(); }

bool CRecordingControl::isWriting() const {
  const CVRIMSocket* sink = m_link.GetAcquisitionSocket();
  return sink && sink->IsWriting();
}

void CRecordingControl::OnStartRecording() {
  // The start-up timer starts without asking the enable rule; a recording begun by
  // hand before its tick goes on in its own file.
  if (m_view.IsRecording()) return;
  CVRIMSocket* sink = m_link.GetAcquisitionSocket();
  // The start-up timer can run Start without a link; there is nothing to record
  // into then, so Start ends as a failed send would.
  if (!sink) return;
  if (!sink->LoadTriggerSetup()) return;
  if (!sink->OpenAcquisitionFile()) return;  // its message has been shown

  if (m_view.DeviceSettingsChanged()) {
    m_view.SendProtocolToCells();
    if (!m_link.SendDeviceCommand(DeviceCommands::BusLoad())) return;
    platform::Sleep(COMMAND_SPACING_MS);
    if (!m_link.SendDeviceCommand(DeviceCommands::LineSettings())) return;
    m_view.SetDeviceSettingsChanged(false);
    platform::Sleep(COMMAND_SPACING_MS);
  }

  m_view.CloseDetailDialog();
  m_view.ClearMarkers();
  m_view.ClearSearchMarks();
  m_view.ClearCells();
  platform::ProfileStore& p = platform::Profile();
  m_view.SetFileMaxSize(p.GetProfileInt("PropertyPage3", "FileMaxSize", 0));
  uint32_t offset = 0;
  m_link.GetActiveFile().ReadCommentSize(offset);
  m_view.SetDataOffset(offset);
  m_view.SetFirstItem(0);
  m_view.SetItemCount(0);
  m_view.SetFilledCells(0);
  m_view.SetRealtime(p.GetProfileInt("PropertyPage1", "Realtime", 1) != 0);

  if (!m_link.SendDeviceCommand(DeviceCommands::Acquire(true))) return;

  m_view.PostStatus(STATUS_RUNNING);
  const platform::WindowHandle frame = platform::MainFrameWindow();
  if (frame != platform::NULL_WINDOW) platform::PostMessage(frame, WM_STATUS_TEXT, STATUSTEXT_LINE, 0);
  m_view.SetRecording(true);
}

void CRecordingControl::OnStopRecording() {
  if (!m_view.IsRecording() && !isWriting()) return;
  m_link.SendDeviceCommand(DeviceCommands::Acquire(false));  // the file is closed either way
  m_view.SetRealtime(false);
  QString failure;
  if (CVRIMSocket* sink = m_link.GetAcquisitionSocket()) {
    failure = sink->TakeWriteFailure();
    sink->CloseAcquisitionFile();
  }
  // The items written after the view's last realtime refresh are in the file too,
  // but their notices now find the realtime flag clear: the count takes the closed
  // file's length, so the view reaches the end of the recording.
  const CActiveFile& shown = m_link.GetActiveFile();
  if (shown.IsOpen()) {
    uint32_t offset = 0;
    shown.ReadCommentSize(offset);
    m_view.SetItemCount(CActiveFile::ShownItemCount(shown.GetLength(), offset));
  }
  m_view.SetRecording(false);
  // Posted once the realtime display is off and the file is closed: a refresh that was
  // waiting and the receive paths post their "Running" before it, never after.
  m_view.PostStatus(STATUS_HALTED);
  // Last, so that the recording has ended when the box's event loop runs.
  if (!failure.isEmpty()) platform::ShowMessageBox(failure, platform::MB_OK | platform::MB_ICONERROR);
}

void CRecordingControl::OnRestartRecording() {
  CVRIMSocket* sink = m_link.GetAcquisitionSocket();
  // After a failed write the Stop on its way ends the recording in this file.
  if (!sink || sink->HasWriteFailed()) return;
  // Close and open in one step: a buffer the receive thread decodes meanwhile lands
  // in the old file or in the new one, never between them.
  if (!sink->RestartAcquisitionFile()) return;
  m_view.ClearMarkers();
  m_view.ClearCells();
  uint32_t offset = 0;
  m_link.GetActiveFile().ReadCommentSize(offset);
  m_view.SetDataOffset(offset);
  m_view.SetFirstItem(0);
  m_view.SetFilledCells(0);
}
