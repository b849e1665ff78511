#include <gtest/gtest.h>

#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

#include "app/CCommentEditor.h"
#include "app/CVRIMApp.h"
#include "capture/FakeDialUp.h"
#include "common/SystemTypes.h"
#include "platform/File.h"
#include "platform/ProfileStore.h"
#include "support/AcquisitionFile.h"
#include "support/FileSizeLimit.h"
#include "support/LinkHelpers.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::anlHeader;
using testsupport::anlLead;
using testsupport::readWholeFile;
using testsupport::writeWholeFile;

namespace {

QByteArray someItems() { return QByteArray::fromHex("000100000000800202000000"); }

class CommentEditorTest : public ::testing::Test {
protected:
  void SetUp() override { m_app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>()); }
  // Shows the file (written first unless null) and opens the editor on it, as the command does.
  std::unique_ptr<CCommentEditor> open(const QByteArray& content) {
    if (!content.isNull()) writeWholeFile(m_path, content);
    EXPECT_TRUE(m_app->GetActiveFile().Open(m_path));
    auto editor = std::make_unique<CCommentEditor>(*m_app);
    editor->show();
    return editor;
  }
  QString text(CCommentEditor& e) { return e.edit()->toPlainText(); }
  void closeByEsc(CCommentEditor& e) {
    QTest::keyClick(e.edit(), Qt::Key_Escape);
    EXPECT_FALSE(e.isVisible());
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CVRIMApp> m_app;
  QString m_path = m_profile.file("c.anl");
};

}  // namespace

TEST_F(CommentEditorTest, AFreshRecordingOffersItsStartAndTheDefaultLines) {
  platform::Profile().WriteProfileString("PropertyPage4", "Company", "Vendo Test");
  platform::Profile().WriteProfileString("PropertyPage4", "Machine", "Snack 5");
  platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", PROTOCOL_MDB);
  // Shown through a symbolic link into another folder, which stays a link to the file.
  ASSERT_TRUE(QDir().mkpath(m_profile.file("real")));
  ASSERT_TRUE(QFile::link(m_profile.file("real/t.anl"), m_path));
  auto e = open(anlHeader() + someItems());
  QStringList lines = text(*e).split('\n');
  ASSERT_GE(lines.size(), 2);
  lines[1].truncate(11);  // the time of the opening follows
  EXPECT_EQ(lines, QStringList({"Start of recording:\t15.03.2023 - 12:00:00", "Commented:\t",
                                "Setting:\t\tMDB: 9600-8-1-MODE",
                                "Version:\t\tAnalyzer: 04.11, Interface: Not connected.", "Company:\t\tVendo Test",
                                "Object Type:\tSnack 5", ""}));
  EXPECT_FALSE(e->edit()->textCursor().hasSelection());

  // Closing stores the text with CR LF breaks; the items move up behind the grown block.
  closeByEsc(*e);
  const QByteArray stored = text(*e).replace('\n', "\r\n").toLatin1();
  const QByteArray file = readWholeFile(m_path);
  const uint32_t block = stored.size() + 25;
  EXPECT_EQ(file.left(24), anlHeader(block));
  EXPECT_EQ(file.mid(24, block - 24), stored + '\0');
  EXPECT_EQ(file.mid(block), someItems());
  EXPECT_EQ(m_box.count(), 0u);
  EXPECT_TRUE(QFileInfo(m_path).isSymLink());
  EXPECT_EQ(QDir(m_profile.file("real")).entryList(QDir::Files | QDir::Hidden), QStringList("t.anl"));
}

TEST_F(CommentEditorTest, AStoredTextIsShownAsItIsAndAnEmptyOneIsStoredAsALineBreak) {
  // Bytes of the code page the files were written in: 0x80 is the euro sign.
  const QByteArray block = anlHeader(40, 0) + "Tour \x80 5\r\nok\r\n" + '\0';
  auto e = open(block + QByteArray(40 - block.size(), 'z') + someItems());
  EXPECT_EQ(text(*e), QString::fromUtf8("Tour € 5\nok\n"));
  e->edit()->selectAll();
  e->edit()->insertPlainText(QString::fromUtf8("Ω€"));  // no code-page place for the omega
  closeByEsc(*e);
  const QByteArray file = readWholeFile(m_path);
  EXPECT_EQ(file.size(), 40 + someItems().size());  // the block keeps its size
  EXPECT_EQ(file.mid(24, 5), QByteArray("?\x80\r\n\0", 5));

  e = open(anlLead(12) + someItems());
  EXPECT_EQ(text(*e).count('\n'), 3);  // no project data: three default lines
  e->edit()->clear();
  closeByEsc(*e);
  // The old 12-byte block stays after the NUL, inside the grown one.
  EXPECT_EQ(readWholeFile(m_path),
            anlLead(27) + QByteArray("\r\n\0", 3) + anlLead(12) + someItems());
  e = open("");  // nothing to move: only the lead and the text are written
  closeByEsc(*e);
  EXPECT_EQ(readWholeFile(m_path), anlLead(27) + QByteArray("\r\n\0", 3));
}

TEST_F(CommentEditorTest, AnUnchangedCloseKeepsEveryByteAndATabShowsAsAGap) {
  QByteArray stored = "Commented:\t07.12.2026\r\n";
  for (int byte = 1; byte < 256; ++byte)
    if (byte != '\r' && byte != '\n') stored += char(byte);
  const QByteArray content = anlHeader(stored.size() + 27) + stored + "\r\n" + '\0' + someItems();
  auto e = open(content);
  // Where the label ends and where the date begins, in the edit control's layout.
  QTextCursor at = e->edit()->textCursor();
  at.setPosition(10);
  const int labelEnd = e->edit()->cursorRect(at).x();
  at.setPosition(11);
  EXPECT_GE(e->edit()->cursorRect(at).x() - labelEnd, 2 * QFontMetrics(e->edit()->font()).averageCharWidth());
  closeByEsc(*e);
  EXPECT_EQ(readWholeFile(m_path), content);
}

// Another tool may have broken lines with a lone LF, a lone CR or CR LF LF: unedited, they go back as they were,
// in a block with room to spare and in one the text just fills.
TEST_F(CommentEditorTest, AnUnchangedCloseKeepsLineBreaksOfOtherToolsAsTheyWere) {
  for (const QByteArray stored : {QByteArray("a\nb\r\n"), QByteArray("a\rb\r\n"), QByteArray("a\r\n\nb\r\n")})
    for (int spare : {0, 7}) {
      const uint32_t size = stored.size() + 25 + spare;
      const QByteArray content = anlHeader(size) + stored + '\0' + QByteArray(spare, 'z') + someItems();
      auto e = open(content);
      closeByEsc(*e);
      EXPECT_EQ(readWholeFile(m_path), content) << stored.toHex(' ').constData() << ", spare " << spare;
    }
}

TEST_F(CommentEditorTest, AFileBeingRecordedIsLeftUntouched) {
  platform::File recording;
  ASSERT_TRUE(recording.open(m_path, platform::File::Mode::CreateWriteShared));
  ASSERT_TRUE(recording.write(anlHeader().constData(), 24));
  auto e = open({});
  EXPECT_TRUE(text(*e).isEmpty());
  QTest::keyClicks(e->edit(), "typed");
  closeByEsc(*e);
  EXPECT_EQ(readWholeFile(m_path), anlHeader());
  EXPECT_EQ(m_box.texts().at(0), QString("Open file failed, Error: 11\r\nFile: %1").arg(m_path));
  EXPECT_TRUE(m_app->GetActiveFile().IsOpen());  // read-only again
}

// A full disk, whether the block grows into a copy of the file or the text is
// written in place: the file stays as it was, no copy is left, and the user is told.
TEST_F(CommentEditorTest, AFullDiskLeavesTheOldFileAndSaysSo) {
  for (const QByteArray& content : {anlHeader() + someItems(), anlHeader(80) + QByteArray(56, 'x') + someItems()}) {
    m_box.clear();
    auto e = open(content);
    e->edit()->setPlainText("short");
    {
      testsupport::FileSizeLimit full(0, true);
      closeByEsc(*e);
    }
    EXPECT_EQ(readWholeFile(m_path), content);
    EXPECT_EQ(QDir(m_profile.dir()).entryList({".c.anl*"}, QDir::Files | QDir::Hidden).size(), 0);
    ASSERT_EQ(m_box.count(), 1u);
    EXPECT_TRUE(m_box.texts()[0].startsWith("Write file failed, Error: 13\r\nFile: " + m_path));
  }
}

TEST_F(CommentEditorTest, TheVersionLineCarriesWhatTheDeviceAnswers) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  using testsupport::SimNetwork;
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  testsupport::SimProcess sim(net.simArgs() << "--version" << "7.3");
  ASSERT_TRUE(sim.started());
  testsupport::setLan(net.deviceAddr, net.acquisitionPort, net.controlPort);
  m_app->SetLinkType(LINKTYPE_LAN);
  EXPECT_EQ(CCommentEditor::GetInterfaceVersionText(*m_app, 1), "Not connected.");
  ASSERT_TRUE(m_app->OnConnectDevice());
  EXPECT_EQ(CCommentEditor::GetInterfaceVersionText(*m_app, 1), "07.03");
  EXPECT_TRUE(sim.waitForLog("cmd version 1"));
  m_app->OnDisconnectDevice();
}
