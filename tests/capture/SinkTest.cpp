#include <gtest/gtest.h>

#include <QFileInfo>
#include <cmath>
#include <cstring>

#include "capture/CActiveFile.h"
#include "capture/CVRIMSocket.h"
#include "common/CommandIds.h"
#include "common/OleDate.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/File.h"
#include "platform/MessageWindow.h"
#include "platform/RecentFileList.h"
#include "SinkTestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingMessageBox.h"

using sinktest::decode;
using sinktest::receive;
using testsupport::hex;

namespace {

class Sink : public ::testing::Test {
protected:
  void SetUp() override { m_folder = sinktest::configureRecording(m_profile); }
  void TearDown() override {
    platform::SetMainFrameWindow(platform::NULL_WINDOW);
    platform::SetActiveViewWindow(platform::NULL_WINDOW);
  }
  QByteArray written(const CVRIMSocket& sink) const {
    return sinktest::dataBytes(sinktest::itemsInFile(sink.GetWritingPath()));
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_boxes;
  QString m_folder;
  CActiveFile m_shown;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{&m_shown, &m_notifier};
};

}  // namespace

// ---- Decoding device records

// The buffer is on disk when decode returns, with running times; four time bytes replace all 32 bits, then a
// delta wraps past 2^32; flags are stored unchanged. Empty buffers and cut-off records write nothing. The
// running time goes on without a file and across recordings; a new sink starts from 0.
TEST_F(Sink, WholeRecordsAreOnDiskWithRunningTimesOfEveryLengthWhenDecodeReturns) {
  const QByteArray records = hex("00 01 10 02 02 05");
  EXPECT_FALSE(receive(m_sink, records));
  EXPECT_EQ(m_sink.GetRunningTime(), 0u) << "the LAN path decodes nothing without a file";
  EXPECT_FALSE(receive(m_sink, records, false));
  EXPECT_EQ(m_sink.GetRunningTime(), 0x15u) << "the serial path decodes every payload";
  EXPECT_TRUE(m_notifier.lengths().empty());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(receive(m_sink, records.mid(3)));
  EXPECT_EQ(m_notifier.lengths(), std::vector<uint64_t>{30u}) << "notified with the file length";
  EXPECT_FALSE(m_sink.DecodeDeviceRecords(nullptr, 0) || decode(m_sink, QByteArray()));
  // The second record announces four time bytes but only two follow.
  const QByteArray whole = hex("00 11 05 60 22 01 02");
  const std::vector<uint8_t> exact(whole.begin(), whole.end());  // no byte past the end to read
  EXPECT_TRUE(m_sink.DecodeDeviceRecords(exact.data(), static_cast<uint32_t>(exact.size())));
  EXPECT_EQ(m_sink.GetRunningTime(), 5u) << "a dropped record does not move the time";
  EXPECT_FALSE(decode(m_sink, hex("00 11"))) << "a lone partial record writes nothing";
  EXPECT_TRUE(decode(m_sink, hex("20 55 E8 03 02 AA 0A 83 10 05")));
  EXPECT_EQ(testsupport::readWholeFile(m_sink.GetWritingPath()).mid(24),
            hex("02 02 1A 00 00 00 00 11 05 00 00 00 20 55 E8 03 00 00 02 AA F2 03 00 00 83 10 F7 03 00 00"));
  EXPECT_EQ(m_sink.GetRunningTime(), 1015u);
  EXPECT_EQ(m_sink.GetFileLength(), 24u + 30u);
  EXPECT_TRUE(decode(m_sink, hex("61 01 FE FF FF FF 02 02 05")));
  EXPECT_EQ(m_sink.GetRunningTime(), 3u);
  EXPECT_TRUE(decode(m_sink, hex("20 03 34 12 40 04 56 34 12 22 05 01 01")));
  const auto items = sinktest::itemsInFile(m_sink.GetWritingPath());
  ASSERT_EQ(items.size(), 10u);
  const uint32_t times[] = {0xFFFFFFFEu, 3u, 0x1234u, 0x123456u, 0x123456u + 0x0101u};
  const uint8_t flags[] = {0x61, 0x02, 0x20, 0x40, 0x22};
  for (size_t i = 0; i < 5; ++i)
    EXPECT_TRUE(items[i + 5].time == times[i] && items[i + 5].flags == flags[i]) << i;
  m_sink.CloseAcquisitionFile();
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(decode(m_sink, hex("02 04 01")));
  EXPECT_EQ(sinktest::itemsInFile(m_sink.GetWritingPath()).at(0).time, 0x123557u + 1);

  CVRIMSocket fresh(nullptr, &m_notifier);  // a new connect makes a new sink
  ASSERT_TRUE(fresh.OpenAcquisitionFile());
  EXPECT_TRUE(decode(fresh, hex("02 05 03")));
  EXPECT_EQ(sinktest::itemsInFile(fresh.GetWritingPath()).at(0).time, 3u);
}

// ---- Start and stop trigger

TEST_F(Sink, TriggerWindows) {
  QByteArray longRun;
  for (int i = 0; i < 300; ++i) longRun.append(static_cast<char>(0x40 + i % 64));
  longRun.append(hex("10 20"));
  QByteArray longPattern(300, '\x11');
  longPattern[255] = '\x22';
  const QByteArray patternInput = longPattern.left(256);  // of which the ring keeps the last 150

  // What the trigger let through; an empty result is also reported as nothing written.
  const struct {
    const char* what;
    QByteArray start, stop;
    int leading, trailing;
    QByteArray input, expected;
    int state = 1, stopBox = 1;
  } cases[] = {
      {"off writes everything", hex("10 20"), {}, 0, 0, hex("01 02 03"), hex("01 02 03"), 0},
      {"empty start pattern is off", {}, {}, 0, 0, hex("01 02"), hex("01 02")},
      {"leading and trailing", hex("10 20"), {}, 2, 3, hex("01 02 03 10 20 04 05 06 07 08"),
       hex("02 03 10 20 04 05 06")},
      {"up to the stop pattern and its trailing", hex("10 20"), hex("30"), 0, 1, hex("10 20 41 42 30 43 44"),
       hex("10 20 41 42 30 43")},
      {"no trailing: armed again at once", hex("10 20"), {}, 0, 0, hex("10 20 55 66 10 20"), hex("10 20 10 20")},
      {"broken partial match not retried", hex("10 20"), {}, 0, 0, hex("10 10 20"), {}},
      {"held items report nothing written", hex("10 20"), {}, 5, 0, hex("01 02 03"), {}},
      {"leading limited by the items seen", hex("10 20"), {}, 100, 0, hex("01 02 03 10 20"), hex("01 02 03 10 20")},
      {"leading limited by the 150-item ring", hex("10 20"), {}, 200, 0, longRun, longRun.right(150)},
      {"leading 0xFFFFFFFF does not wrap", hex("10 20"), {}, -1, 0, hex("01 02 10 20"), hex("01 02 10 20")},
      {"stop match broken by its own first byte", hex("10"), hex("30 31"), 0, 0, hex("10 30 30 31 99 30 31 77"),
       hex("10 30 30 31 99 30 31")},
      {"stored pattern cut to 256 bytes", longPattern, {}, 0, 0, patternInput, patternInput.right(150)},
      {"stop box unchecked: start pattern and trailing", hex("10 20"), hex("30"), 0, 1, hex("10 20 30 41 42"),
       hex("10 20 30"), 1, 0},
  };
  for (const auto& c : cases) {
    sinktest::armTrigger(c.start, c.stop, c.leading, c.trailing, c.state, 0, c.stopBox);
    CVRIMSocket sink(nullptr, &m_notifier);
    ASSERT_TRUE(sink.LoadTriggerSetup());
    ASSERT_TRUE(sink.OpenAcquisitionFile());
    EXPECT_EQ(decode(sink, sinktest::recordsFor(c.input)), !c.expected.isEmpty()) << c.what;
    EXPECT_EQ(written(sink).toHex(' '), c.expected.toHex(' ')) << c.what;
    EXPECT_EQ(sink.GetRunningTime(), static_cast<uint8_t>(c.input.size())) << c.what << ": held items move time too";
  }
  // A Restart keeps the trigger's state (the threaded tests join split files); a new
  // Start loads it anew: a partial match does not carry over.
  sinktest::armTrigger(hex("10 20"), hex("30"), 1, 1, 1, 1);  // start pattern in slot 1
  ASSERT_TRUE(m_sink.LoadTriggerSetup());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_TRUE(decode(m_sink, sinktest::recordsFor(hex("05 10 20 41 10"))));
  m_sink.CloseAcquisitionFile();
  ASSERT_TRUE(m_sink.LoadTriggerSetup());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_FALSE(decode(m_sink, sinktest::recordsFor(hex("20 46")))) << "a new Start waits for the whole start pattern";
}

// ---- The acquisition file

// A configured folder without the closing slash is still the folder; an empty file is reused, File
// Multiple numbers only files with content.
TEST_F(Sink, NewFileHasExactlyTheHeaderBlockIsShownAndNumbered) {
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_folder.chopped(1));
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", QByteArray());
  const double before = OleDate::now();
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  const double after = OleDate::now();
  const QByteArray file = testsupport::readWholeFile(m_folder + "ANALIZER.ANL");
  ASSERT_EQ(file.size(), 24);
  EXPECT_EQ(file.left(16), hex("00 00 00 00 00 00 00 00 18 00 00 00 56 52 49 4D"));
  double date;
  memcpy(&date, file.constData() + 16, 8);
  EXPECT_TRUE(date >= before && date <= after) << date;
  EXPECT_DOUBLE_EQ(std::round(date * 86400.0), date * 86400.0) << "whole seconds";
  EXPECT_EQ(m_sink.GetFileLength(), 24u);
  EXPECT_EQ(m_shown.GetPath(), m_folder + "ANALIZER.ANL");
  EXPECT_EQ(m_boxes.count(), 0u);
  const uint64_t flushes = platform::flushCount();
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  EXPECT_EQ(platform::flushCount(), flushes + 1) << "Stop puts the recording on the disk";
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(1).ANL");
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(2).ANL");
}

TEST_F(Sink, WithoutFileMultipleEveryStartOverwrites) {
  sinktest::configureRecording(m_profile, "LOG.ANL", 0);
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 01 00 02 02"));
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "LOG.ANL").size(), 36);
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "LOG.ANL");
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "LOG.ANL").size(), 24);
  decode(m_sink, hex("00 03 03"));
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  decode(m_sink, hex("00 04 04"));
  // A second copy recording under the same name is refused and cuts nothing.
  CVRIMSocket second(nullptr, &m_notifier);
  EXPECT_FALSE(second.OpenAcquisitionFile());
  EXPECT_EQ(m_boxes.texts(), std::vector<QString>{QString("Create file %1LOG.ANL failed, Error: %2")
                                                       .arg(m_folder, QString::number(platform::FILE_CAUSE_SHARING_VIOLATION))});
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(m_folder + "LOG.ANL")), hex("04"));
  EXPECT_FALSE(QFileInfo::exists(m_folder + "LOG(1).ANL"));
}

// A missing folder's message is pinned by the threaded failed-Restart test.
TEST_F(Sink, CreateFailuresShowTheMessageAndLeaveNoWriter) {
  // The comment editor's exclusive open of an empty file of the configured name.
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", QByteArray());
  platform::File editor;
  ASSERT_TRUE(editor.open(m_folder + "ANALIZER.ANL", platform::File::Mode::ReadWriteExclusive));
  EXPECT_FALSE(m_sink.OpenAcquisitionFile() || m_sink.IsWriting());
  EXPECT_FALSE(decode(m_sink, hex("00 01 01"))) << "nothing is written without a file";
  ASSERT_EQ(m_boxes.count(), 1u);
  EXPECT_EQ(m_boxes.texts()[0],
            QStringLiteral("Create file %1ANALIZER.ANL failed, Error: %2").arg(m_folder).arg(EWOULDBLOCK));
  EXPECT_EQ(m_boxes.shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
}

// A full disk (here the kernel's file size limit) ends the writing at the first
// refused write: whole items stay, the receive path asks once for Stop, and nothing
// is written once space returns, so the file never gets a gap.
TEST_F(Sink, AFailedWriteKeepsTheWholeItemsAndWritesNothingMore) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  const auto eight = [&] { return receive(m_sink, sinktest::recordsFor("ABCDEFGH"), false); };
  {
    testsupport::FileSizeLimit full(24 + 6 * 10 + 3, true);  // room for ten and a half items
    ASSERT_TRUE(full.ok());
    EXPECT_TRUE(eight() && eight() && !eight());
  }
  EXPECT_FALSE(eight());
  EXPECT_EQ(m_notifier.failures.load(), 1);
  EXPECT_EQ(testsupport::readWholeFile(m_sink.GetWritingPath()).size(), 24 + 6 * 10);
  EXPECT_EQ(m_sink.TakeWriteFailure(),
            QString("Write file %1 failed, Error: %2").arg(m_sink.GetWritingPath()).arg(EFBIG));

  {
    testsupport::FileSizeLimit none(0, true);  // not even the header fits
    EXPECT_TRUE(m_sink.RestartAcquisitionFile());
  }
  EXPECT_TRUE(!eight() && m_sink.HasWriteFailed());
  EXPECT_EQ(m_notifier.failures.load(), 2);
}

// A Start while still writing closes the earlier file first; Stop and every new Start put the shown file on
// the recent list; the comment editor may write the shown file only once the recording's handle is gone.
TEST_F(Sink, StartAndStopListTheShownFileAndFreeItForWriting) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 01"));
  EXPECT_FALSE(m_shown.Reopen(true));
  EXPECT_EQ(m_boxes.texts(), std::vector<QString>{"Open file failed, Error: 11\r\nFile: " + m_folder + "ANALIZER.ANL"});
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(1).ANL");
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(m_folder + "ANALIZER.ANL")), hex("01"));
  EXPECT_EQ(platform::RecentFiles().Entries(), QStringList{m_folder + "ANALIZER.ANL"});
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  EXPECT_TRUE(!m_sink.IsWriting() && m_sink.GetFileLength() == 0u);
  EXPECT_EQ(platform::RecentFiles().Entries().first(), m_folder + "ANALIZER(1).ANL");
  EXPECT_TRUE(m_shown.Reopen(true) && m_shown.IsOpen()) << "after Stop the comment editor may write";

  // Closing without a file still adds the shown file.
  testsupport::writeWholeFile(m_folder + "OTHER.ANL", QByteArray(30, '\x01'));
  ASSERT_TRUE(m_shown.Open(m_folder + "OTHER.ANL"));
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  EXPECT_EQ(platform::RecentFiles().Entries().first(), m_folder + "OTHER.ANL");

  // A sink destroyed while writing closes its file, without a recent-file entry.
  {
    CVRIMSocket sink(&m_shown, &m_notifier);
    ASSERT_TRUE(sink.OpenAcquisitionFile());
    decode(sink, hex("00 01 01"));
  }
  EXPECT_EQ(platform::RecentFiles().Entries().first(), m_folder + "OTHER.ANL");
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "ANALIZER(2).ANL").size(), 30);
  m_shown.Close();
  EXPECT_TRUE(m_shown.Reopen(true)) << "the writer's handle is gone";
}

// The status pane gets the name of the file on disk; each written buffer posts its
// notices to the active view, but only once the main window exists.
TEST_F(Sink, StatusPaneGetsTheFileOnDiskAndTheViewDataWrittenThenStatus) {
  platform::MessageWindow frame, view;
  QStringList got;
  const auto record = [&](platform::Message& m) {
    const QString* text = m.payloadAs<QString>();
    got << QString("%1 %2 %3").arg(m.id).arg(m.wParam).arg(text ? *text : QString::number(m.lParam));
    return 0;
  };
  for (uint32_t id : {WM_DATA_WRITTEN, WM_VIEW_STATUS, WM_COMMAND}) view.on(id, record);
  frame.on(WM_STATUS_TEXT, record);
  platform::SetActiveViewWindow(view.handle());
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", "full");
  CVRIMSocket sink(nullptr, nullptr);
  ASSERT_TRUE(sink.OpenAcquisitionFile());
  EXPECT_TRUE(receive(sink, hex("00 01 01 00 02 02")));
  platform::PumpMessages();
  EXPECT_TRUE(got.isEmpty()) << "nothing is posted while the main window does not exist";

  platform::SetMainFrameWindow(frame.handle());
  ASSERT_TRUE(sink.RestartAcquisitionFile());
  EXPECT_TRUE(receive(sink, hex("00 01 01 00 02 02")));
  DataWrittenNotifier::Default().WriteFailed();  // a failed write asks for Stop
  platform::PumpMessages();
  EXPECT_EQ(got, QStringList({QString("%1 %2 ANALIZER(2).ANL").arg(WM_STATUS_TEXT).arg(STATUSTEXT_FILENAME),
                              QString("%1 0 0").arg(WM_DATA_WRITTEN),
                              QString("%1 %2 %3").arg(WM_VIEW_STATUS).arg(STATUS_RUNNING).arg((24 + 2 * 6) / 6),
                              QString("%1 %2 0").arg(WM_COMMAND).arg(ID_STOP_RECORDING)}));
}
