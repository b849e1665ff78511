#pragma once

#include <cstdint>

// What the recording commands change in the view that shows the recording: its
// recording, realtime and settings-changed flags, its position and counts, its marks
// and cells. The view implements it (on the UI thread, where the commands run).
class RecordingView {
public:
  virtual ~RecordingView() = default;

  virtual bool IsRecording() const = 0;
  virtual void SetRecording(bool on) = 0;
  virtual bool DeviceSettingsChanged() const = 0;
  virtual void SetDeviceSettingsChanged(bool changed) = 0;
  virtual void SetRealtime(bool on) = 0;
  virtual void SetFileMaxSize(uint32_t choice) = 0;
  virtual void SetDataOffset(uint32_t offset) = 0;
  virtual void SetFirstItem(uint32_t first) = 0;
  virtual void SetItemCount(uint32_t count) = 0;
  virtual void SetFilledCells(uint32_t filled) = 0;

  virtual void SendProtocolToCells() = 0;
  virtual void CloseDetailDialog() = 0;
  virtual void ClearMarkers() = 0;
  virtual void ClearSearchMarks() = 0;
  virtual void ClearCells() = 0;
  // Posts WM_VIEW_STATUS (code, 0) to the view itself.
  virtual void PostStatus(uint32_t code) = 0;
};
