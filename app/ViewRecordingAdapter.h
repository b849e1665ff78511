#pragma once

#include "capture/RecordingView.h"

class CVRIMView;

// The view as the recording commands change it.
class ViewRecordingAdapter final : public RecordingView {
public:
  explicit ViewRecordingAdapter(CVRIMView& view) : m_view(view) {}

  bool IsRecording() const override;
  void SetRecording(bool on) override;
  bool DeviceSettingsChanged() const override;
  void SetDeviceSettingsChanged(bool changed) override;
  void SetRealtime(bool on) override;
  void SetFileMaxSize(uint32_t choice) override;
  void SetDataOffset(uint32_t offset) override;
  void SetFirstItem(uint32_t first) override;
  void SetItemCount(uint32_t count) override;
  void SetFilledCells(uint32_t filled) override;
  void SendProtocolToCells() override;
  void CloseDetailDialog() override;
  void ClearMarkers() override;
  void ClearSearchMarks() override;
  void ClearCells() override;
  void PostStatus(uint32_t code) override;

private:
  CVRIMView& m_view;
};
