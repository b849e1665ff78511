#pragma once

#include <cstdint>

// What a receive path does after a buffer of device records wrote items: the
// default tells the main frame's active view (WM_DATA_WRITTEN, then WM_VIEW_STATUS
// with the file length in 6-byte units). Called on the decoding thread under the
// sink's lock: it must only post, never call back into the sink.
class DataWrittenNotifier {
public:
  virtual ~DataWrittenNotifier() = default;
  virtual void DataWritten(uint64_t fileLength) = 0;
  // The file being written refused a write: the default posts Stop to the active
  // view, which ends the recording and tells the user.
  virtual void WriteFailed() {}

  // The posting notifier that the application uses; posts nothing while the main
  // window does not exist.
  static DataWrittenNotifier& Default();
};
