#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/CActiveFile.h"
#include "capture/CRecordingControl.h"
#include "capture/CVRIMSocket.h"
#include "capture/DeviceLink.h"
#include "capture/RecordingView.h"
#include "platform/RecentFileList.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

// The view as the commands see it: its state, and a log of what was done to it.
struct ViewLog final : RecordingView {
  bool recording = false, settingsChanged = true, realtime = false;
  uint32_t maxSize = 99, offset = 99, first = 99, count = 99, filled = 99;
  std::vector<std::string> calls;

  bool IsRecording() const override { return recording; }
  void SetRecording(bool on) override { recording = on; }
  bool DeviceSettingsChanged() const override { return settingsChanged; }
  void SetDeviceSettingsChanged(bool c) override { settingsChanged = c; }
  void SetRealtime(bool on) override { realtime = on; }
  void SetFileMaxSize(uint32_t c) override { maxSize = c; }
  void SetDataOffset(uint32_t o) override { offset = o; }
  void SetFirstItem(uint32_t f) override { first = f; }
  void SetItemCount(uint32_t c) override { count = c; }
  void SetFilledCells(uint32_t f) override { filled = f; }
  void SendProtocolToCells() override { calls.push_back("protocol"); }
  void CloseDetailDialog() override { calls.push_back("detail"); }
  void ClearMarkers() override { calls.push_back("markers"); }
  void ClearSearchMarks() override { calls.push_back("search"); }
  void ClearCells() override { calls.push_back("cells"); }
  void PostStatus(uint32_t code) override { calls.push_back("status" + std::to_string(code)); }
};

// The device link with a real sink and shown file; commands are recorded, and the
// link can refuse the n-th one.
struct LinkLog final : DeviceLink {
  CActiveFile shown;
  CVRIMSocket sink{&shown, nullptr};  // its notices go to a view window that is not there
  bool connected = true;
  int failAt = -1;
  std::vector<QByteArray> sent;

  bool IsConnected() const override { return connected; }
  bool SendDeviceCommand(const QByteArray& c) override {
    if (static_cast<int>(sent.size()) == failAt) {
      failAt = -1;
      return false;
    }
    sent.push_back(c);
    return true;
  }
  CVRIMSocket* GetAcquisitionSocket() override { return &sink; }
  CActiveFile& GetActiveFile() override { return shown; }
};

struct Recording : ::testing::Test {
  testsupport::TempProfile tmp;
  testsupport::RecordingMessageBox boxes;
  ViewLog view;
  LinkLog link;
  CRecordingControl control{view, link};

  void SetUp() override { platform::Profile().WriteProfileString("PropertyPage3", "FilePath", tmp.dir() + "/"); }
};

}  // namespace

// What the commands do to the view; the commands sent and the files are pinned end
// to end by the program tests.
TEST_F(Recording, StartPreparesTheViewRestartGoesOnAndStopEndsRealtime) {
  control.OnStartRecording();
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_TRUE(view.recording && view.realtime);  // "Realtime" defaults to on
  EXPECT_FALSE(view.settingsChanged);
  EXPECT_EQ(std::vector<uint32_t>({view.offset, view.first, view.count, view.maxSize}),
            std::vector<uint32_t>({24, 0, 0, 0}));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"protocol", "detail", "markers", "search", "cells", "status2"}));
  EXPECT_TRUE(!control.CanStart() && control.CanStop() && control.CanRestart());
  // A Restart continues in the next file from the view's first cell.
  view.calls.clear();
  view.first = view.filled = 7;
  control.OnRestartRecording();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"markers", "cells"}));
  EXPECT_EQ(std::vector<uint32_t>({view.first, view.filled, view.offset}), std::vector<uint32_t>({0, 0, 24}));
  EXPECT_TRUE(view.recording && link.shown.GetPath() == tmp.dir() + "/ANALIZER(1).ANL");
  control.OnStopRecording();
  EXPECT_FALSE(view.recording || view.realtime || link.sink.IsWriting());
  EXPECT_TRUE(link.shown.IsOpen());  // the view goes on showing the file
}

// The start command itself is refused after the settings went out: they are not sent
// again, and the file the device may be filling can be stopped, not restarted.
TEST_F(Recording, AStartCommandThatCannotBeSentLeavesAFileThatStopEnds) {
  link.failAt = 2;
  control.OnStartRecording();
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_FALSE(view.recording || view.settingsChanged);
  EXPECT_TRUE(boxes.texts().empty() && control.CanStart() && control.CanStop() && !control.CanRestart());
  control.OnStopRecording();
  EXPECT_EQ(link.sent.back(), hex("03 03 00"));
  EXPECT_FALSE(link.sink.IsWriting() || control.CanStop());
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), tmp.dir() + "/ANALIZER.ANL");
}
