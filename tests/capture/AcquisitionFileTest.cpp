#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <cstring>

#include "capture/CActiveFile.h"
#include "capture/CVRIMSocket.h"
#include "common/OleDate.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/File.h"
#include "platform/MessageWindow.h"
#include "platform/RecentFileList.h"
#include "SinkTestSupport.h"
#include "support/RecordingMessageBox.h"

using testsupport::hex;

namespace {

bool decode(CVRIMSocket& sink, const QByteArray& buffer) {
  return sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(buffer.constData()),
                                  static_cast<uint32_t>(buffer.size()));
}

class AcquisitionFile : public ::testing::Test {
protected:
  void SetUp() override { m_folder = sinktest::configureRecording(m_profile); }
  void TearDown() override {
    platform::SetMainFrameWindow(platform::NULL_WINDOW);
    platform::SetActiveViewWindow(platform::NULL_WINDOW);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_boxes;
  QString m_folder;
  CActiveFile m_shown;
  sinktest::RecordingNotifier m_notifier;
  CVRIMSocket m_sink{&m_shown, &m_notifier};
};

}  // namespace

TEST_F(AcquisitionFile, NewFileHasExactlyTheHeaderBlock) {
  const double before = OleDate::now();
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  const double after = OleDate::now();
  const QByteArray file = testsupport::readWholeFile(m_folder + "ANALIZER.ANL");
  ASSERT_EQ(file.size(), 24);
  EXPECT_EQ(file.left(16), hex("00 00 00 00 00 00 00 00 18 00 00 00 56 52 49 4D"));
  double date;
  memcpy(&date, file.constData() + 16, 8);
  EXPECT_GE(date, before);
  EXPECT_LE(date, after);
  EXPECT_DOUBLE_EQ(std::round(date * 86400.0), date * 86400.0) << "whole seconds";
  EXPECT_EQ(m_sink.GetFileLength(), 24u);

  // The shown file is open on the new file and finds item 0 at offset 24.
  EXPECT_TRUE(m_shown.IsOpen());
  EXPECT_EQ(m_shown.GetPath(), m_folder + "ANALIZER.ANL");
  uint32_t size = 0;
  EXPECT_TRUE(m_shown.ReadCommentSize(size));
  EXPECT_EQ(size, 24u);
  EXPECT_EQ(m_boxes.count(), 0u);
}

TEST_F(AcquisitionFile, FileMultipleNumbersOnlyFilesWithContent) {
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", QByteArray());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER.ANL") << "an empty file is reused";
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(1).ANL");
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(2).ANL");
}

TEST_F(AcquisitionFile, WithoutFileMultipleEveryStartOverwrites) {
  sinktest::configureRecording(m_profile, "LOG.ANL", 0);
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 01 00 02 02"));
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "LOG.ANL").size(), 36);
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "LOG.ANL");
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "LOG.ANL").size(), 24);
  // Restart into the same name: the new file replaces the old one, items go on.
  decode(m_sink, hex("00 03 03"));
  ASSERT_TRUE(m_sink.RestartAcquisitionFile());
  decode(m_sink, hex("00 04 04"));
  m_sink.CloseAcquisitionFile();
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(m_folder + "LOG.ANL")), hex("04"));
  EXPECT_FALSE(QFileInfo::exists(m_folder + "LOG(1).ANL"));
}

TEST_F(AcquisitionFile, FolderWithoutClosingSlashIsStillAFolder) {
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_folder.chopped(1));
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER.ANL");
}

TEST_F(AcquisitionFile, CreateFailureShowsTheMessageAndLeavesNoWriter) {
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_folder + "missing/");
  EXPECT_FALSE(m_sink.OpenAcquisitionFile());
  EXPECT_FALSE(m_sink.IsWriting());
  ASSERT_EQ(m_boxes.count(), 1u);
  EXPECT_EQ(m_boxes.shown()[0].text,
            QStringLiteral("Create file %1missing/ANALIZER.ANL failed, Error: %2").arg(m_folder).arg(ENOENT));
  EXPECT_EQ(m_boxes.shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
  EXPECT_FALSE(decode(m_sink, hex("00 01 01"))) << "nothing is written without a file";
}

TEST_F(AcquisitionFile, CreateFailsWhileTheCommentEditorHoldsTheFile) {
  // The comment editor's exclusive open of an empty file of the configured name.
  platform::File editor;
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", QByteArray());
  ASSERT_TRUE(editor.open(m_folder + "ANALIZER.ANL", platform::File::Mode::ReadWriteExclusive));
  EXPECT_FALSE(m_sink.OpenAcquisitionFile());
  ASSERT_EQ(m_boxes.count(), 1u);
  EXPECT_EQ(m_boxes.texts()[0],
            QStringLiteral("Create file %1ANALIZER.ANL failed, Error: %2").arg(m_folder).arg(EWOULDBLOCK));
}

TEST_F(AcquisitionFile, ReopenForWritingIsRefusedWhileRecording) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_FALSE(m_shown.Reopen(true));
  ASSERT_EQ(m_boxes.count(), 1u);
  EXPECT_EQ(m_boxes.texts()[0], QStringLiteral("Open file failed, Error: 11\r\nFile: %1ANALIZER.ANL").arg(m_folder));
  m_sink.CloseAcquisitionFile();
  EXPECT_TRUE(m_shown.Reopen(true)) << "after Stop the comment editor may write";
}

TEST_F(AcquisitionFile, CloseFlushesAndPutsTheShownFileOnTheRecentList) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 01"));
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  EXPECT_FALSE(m_sink.IsWriting());
  EXPECT_EQ(m_sink.GetFileLength(), 0u);
  EXPECT_TRUE(m_shown.IsOpen()) << "the view goes on showing the recording";
  EXPECT_EQ(platform::RecentFiles().Entries(), QStringList{m_folder + "ANALIZER.ANL"});

  // Closing without a file still adds the shown file.
  testsupport::writeWholeFile(m_folder + "OTHER.ANL", QByteArray(30, '\x01'));
  ASSERT_TRUE(m_shown.Open(m_folder + "OTHER.ANL"));
  ASSERT_TRUE(m_sink.CloseAcquisitionFile());
  EXPECT_EQ(platform::RecentFiles().Entries(), (QStringList{m_folder + "OTHER.ANL", m_folder + "ANALIZER.ANL"}));
}

TEST_F(AcquisitionFile, DestroyingTheSinkClosesWithoutARecentEntry) {
  {
    CVRIMSocket sink(&m_shown, &m_notifier);
    ASSERT_TRUE(sink.OpenAcquisitionFile());
    decode(sink, hex("00 01 01"));
  }
  EXPECT_TRUE(platform::RecentFiles().Entries().isEmpty());
  EXPECT_EQ(testsupport::readWholeFile(m_folder + "ANALIZER.ANL").size(), 30);
  m_shown.Close();
  EXPECT_TRUE(m_shown.Reopen(true)) << "the writer's handle is gone";
}

TEST_F(AcquisitionFile, OpenWhileWritingClosesTheEarlierFileFirst) {
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  decode(m_sink, hex("00 01 01"));
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  EXPECT_EQ(m_sink.GetWritingPath(), m_folder + "ANALIZER(1).ANL");
  decode(m_sink, hex("00 02 02"));
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(m_folder + "ANALIZER.ANL")), hex("01"));
  EXPECT_EQ(platform::RecentFiles().Entries(), QStringList{m_folder + "ANALIZER.ANL"});
}

TEST_F(AcquisitionFile, FileNameGoesToTheMainFrameAsOwnedText) {
  platform::MessageWindow frame;
  platform::SetMainFrameWindow(frame.handle());
  std::vector<std::pair<uintptr_t, QString>> texts;
  frame.on(WM_STATUS_TEXT, [&](platform::Message& m) {
    const QString* text = m.payloadAs<QString>();
    texts.emplace_back(m.wParam, text ? *text : QStringLiteral("<none>"));
    return 0;
  });
  testsupport::writeWholeFile(m_folder + "ANALIZER.ANL", "full");
  ASSERT_TRUE(m_sink.OpenAcquisitionFile());
  platform::PumpMessages();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].first, STATUSTEXT_FILENAME);
  EXPECT_EQ(texts[0].second, QStringLiteral("ANALIZER(1).ANL")) << "the name of the file on disk";
}

TEST_F(AcquisitionFile, DefaultNotifierPostsDataWrittenThenStatusToTheActiveView) {
  platform::MessageWindow frame;
  platform::MessageWindow view;
  std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> got;
  auto record = [&](platform::Message& m) {
    got.emplace_back(m.id, m.wParam, m.lParam);
    return 0;
  };
  view.on(WM_DATA_WRITTEN, record);
  view.on(WM_VIEW_STATUS, record);
  platform::SetActiveViewWindow(view.handle());

  CVRIMSocket sink(nullptr, nullptr);
  ASSERT_TRUE(sink.OpenAcquisitionFile());
  const QByteArray records = hex("00 01 01 00 02 02");
  const auto* data = reinterpret_cast<const uint8_t*>(records.constData());
  EXPECT_TRUE(sink.ReceiveDeviceRecords(data, 6, true));
  platform::PumpMessages();
  EXPECT_TRUE(got.empty()) << "nothing is posted while the main window does not exist";

  platform::SetMainFrameWindow(frame.handle());
  EXPECT_TRUE(sink.ReceiveDeviceRecords(data, 6, true));
  platform::PumpMessages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::make_tuple(WM_DATA_WRITTEN, uintptr_t{0}, intptr_t{0}));
  EXPECT_EQ(got[1], std::make_tuple(WM_VIEW_STATUS, uintptr_t{STATUS_RUNNING}, intptr_t{(24 + 4 * 6) / 6}));
}
