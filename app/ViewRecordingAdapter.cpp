#include "app/ViewRecordingAdapter.h"

#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"

bool ViewRecordingAdapter::IsRecording() const { return m_view.IsRecording(); }
void ViewRecordingAdapter::SetRecording(bool on) { m_view.SetRecording(on); }
bool ViewRecordingAdapter::DeviceSettingsChanged() const { return m_view.DeviceSettingsChanged(); }
void ViewRecordingAdapter::SetDeviceSettingsChanged(bool changed) { m_view.SetDeviceSettingsChanged(changed); }
void ViewRecordingAdapter::SetRealtime(bool on) { m_view.SetRealtime(on); }
void ViewRecordingAdapter::SetFileMaxSize(uint32_t choice) { m_view.SetFileMaxSize(choice); }
void ViewRecordingAdapter::SetDataOffset(uint32_t offset) { m_view.SetDataOffset(offset); }
void ViewRecordingAdapter::SetFirstItem(uint32_t first) { m_view.SetFirstItem(first); }
void ViewRecordingAdapter::SetItemCount(uint32_t count) { m_view.SetItemCount(count); }
void ViewRecordingAdapter::SetFilledCells(uint32_t filled) { m_view.SetFilledCells(filled); }
void ViewRecordingAdapter::SendProtocolToCells() { m_view.SendProtocolToCells(); }
void ViewRecordingAdapter::CloseDetailDialog() { m_view.ForgetShownFile(); }
void ViewRecordingAdapter::ClearMarkers() { m_view.ClearMarkers(); }
void ViewRecordingAdapter::ClearSearchMarks() { m_view.ClearSearchMarks(); }
void ViewRecordingAdapter::ClearCells() { m_view.ClearCells(); }
void ViewRecordingAdapter::PostStatus(uint32_t code) {
  platform::PostMessage(m_view.handle(), WM_VIEW_STATUS, code, 0);
}
