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

  // Enable rules, all only with the device link up: Start while not recording,
  // Restart while recording, Stop while recording or while a file is being written
  // (a Start whose commands went unacknowledged leaves its file growing).
  bool CanStart() const;
  bool CanStop() const;
  bool CanRestart() const;

  // Spacing of the configuration commands, in milliseconds.
  static constexpr uint32_t COMMAND_SPACING_MS = 10;

private:
  bool isWriting() const;

  RecordingView& m_view;
  DeviceLink& m_link;
};
