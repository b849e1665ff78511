#include <gtest/gtest.h>

#include <QDir>
#include <string>
#include <vector>

#include "capture/CActiveFile.h"
#include "capture/CRecordingControl.h"
#include "capture/CVRIMSocket.h"
#include "capture/DataWrittenNotifier.h"
#include "capture/DeviceLink.h"
#include "capture/RecordingView.h"
#include "common/StatusCodes.h"
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

struct QuietNotifier final : DataWrittenNotifier {
  void DataWritten(uint64_t) override {}
};

// The device link with a real sink and shown file; commands are recorded, and the
// link can refuse the n-th one.
struct LinkLog final : DeviceLink {
  CActiveFile shown;
  QuietNotifier notifier;
  CVRIMSocket sink{&shown, &notifier};
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

  void SetUp() override {
    platform::Profile().WriteProfileString("PropertyPage3", "FilePath", tmp.dir() + "/");
  }
  QStringList files() const { return QDir(tmp.dir()).entryList({"*.ANL"}, QDir::Files, QDir::Name); }
};

}  // namespace

TEST_F(Recording, FirstStartConfiguresTheDeviceThenStarts) {
  control.OnStopRecording();
  EXPECT_TRUE(link.sent.empty()) << "Stop without a recording does nothing";
  EXPECT_TRUE(view.calls.empty());
  ASSERT_TRUE(control.CanStart());
  control.OnStartRecording();
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[0], hex("04 05 03 10 10"));
  EXPECT_EQ(link.sent[1], hex("06 09 80 25 00 00 00 00 06"));
  EXPECT_EQ(link.sent[2], hex("03 03 01"));
  EXPECT_TRUE(view.recording);
  EXPECT_FALSE(view.settingsChanged);
  EXPECT_TRUE(view.realtime);  // "Realtime" defaults to on
  EXPECT_EQ(view.offset, 24u);
  EXPECT_EQ(view.first, 0u);
  EXPECT_EQ(view.count, 0u);
  EXPECT_EQ(view.maxSize, 0u);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"protocol", "detail", "markers", "search", "cells", "status2"}));
  EXPECT_TRUE(link.sink.IsWriting());
  EXPECT_EQ(files(), QStringList{"ANALIZER.ANL"});
  EXPECT_FALSE(control.CanStart());
  EXPECT_TRUE(control.CanStop() && control.CanRestart());

  // Stop, then a second Start sends only the start command.
  control.OnStopRecording();
  EXPECT_EQ(link.sent.back(), hex("03 03 00"));
  EXPECT_FALSE(view.recording);
  EXPECT_FALSE(view.realtime);
  EXPECT_FALSE(link.sink.IsWriting());
  EXPECT_TRUE(link.shown.IsOpen());  // the view goes on showing the file
  link.sent.clear();
  control.OnStartRecording();
  EXPECT_EQ(link.sent, std::vector<QByteArray>{hex("03 03 01")});
  EXPECT_EQ(files(), QStringList({"ANALIZER(1).ANL", "ANALIZER.ANL"}));

  // Saving the communication settings sends both again at the next Start.
  control.OnStopRecording();
  view.settingsChanged = true;
  link.sent.clear();
  control.OnStartRecording();
  EXPECT_EQ(link.sent.size(), 3u);
}

TEST_F(Recording, ACommandThatCannotBeSentEndsStartWithTheFileLeftOpen) {
  link.failAt = 0;  // the bus load
  control.OnStartRecording();
  EXPECT_TRUE(link.sent.empty());
  EXPECT_FALSE(view.recording);
  EXPECT_TRUE(view.settingsChanged);  // sent again next time
  EXPECT_TRUE(link.sink.IsWriting());
  EXPECT_TRUE(control.CanStart());
  EXPECT_TRUE(boxes.texts().empty());  // no message

  link.failAt = 2;  // the start command itself
  control.OnStartRecording();
  EXPECT_EQ(link.sent.size(), 2u);
  EXPECT_FALSE(view.recording);
  EXPECT_FALSE(view.settingsChanged);

  // The device may have started all the same: the growing file can be stopped.
  EXPECT_TRUE(control.CanStop());
  EXPECT_FALSE(control.CanRestart());
  control.OnStopRecording();
  EXPECT_EQ(link.sent.back(), hex("03 03 00"));
  EXPECT_FALSE(link.sink.IsWriting());
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), tmp.dir() + "/ANALIZER(1).ANL");
  EXPECT_FALSE(control.CanStop());
}

TEST_F(Recording, RestartContinuesInTheNextFileAtOffset24) {
  control.OnStartRecording();
  const uint8_t rec[] = {0x20, 0x55, 0xE8, 0x03};
  ASSERT_TRUE(link.sink.DecodeDeviceRecords(rec, sizeof rec));
  view.calls.clear();
  link.sent.clear();
  view.first = view.filled = 7;
  control.OnRestartRecording();
  EXPECT_TRUE(link.sent.empty());  // the device keeps acquiring
  EXPECT_EQ(view.calls, (std::vector<std::string>{"markers", "cells"}));
  EXPECT_EQ(view.first, 0u);
  EXPECT_EQ(view.filled, 0u);
  EXPECT_EQ(view.offset, 24u);
  EXPECT_TRUE(view.recording);
  EXPECT_EQ(files(), QStringList({"ANALIZER(1).ANL", "ANALIZER.ANL"}));
  EXPECT_EQ(link.shown.GetPath(), tmp.dir() + "/ANALIZER(1).ANL");
  EXPECT_EQ(testsupport::readWholeFile(tmp.file("ANALIZER.ANL")).size(), 24 + 6);
}
