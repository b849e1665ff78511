#pragma once

#include <cstdint>

class DeviceLink;
class RecordingView;

// Start, Stop and Restart of a recording: they configure the device and start and
// stop its acquisition, have the data sink create and close acquisition files and
// reset the view. They run on the UI thread; the view routes its commands here.
class CRecordingControl {
public:
  CRecordingControl(RecordingView& view, DeviceLink& link) : m_view(view), m_link(link) {}

  void OnStartRecording();
  void OnStopRecording();
  void OnRestartRecording();

  // Enable rules: Start while not recording, Stop and Restart while recording, all
  // only with the device link up.
  bool CanStart() const;
  bool CanStopOrRestart() const;

  // Spacing of the configuration commands, in milliseconds.
  static constexpr uint32_t COMMAND_SPACING_MS = 10;

private:
  RecordingView& m_view;
  DeviceLink& m_link;
};
