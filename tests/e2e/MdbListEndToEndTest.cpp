// The whole program on an MDB recording that it made from the simulator: in list
// mode every row shows its byte and, beside it, the name the decoder gave it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <set>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "common/CellCodes.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::SimProcess;

namespace {

constexpr int PROFILE = 30;
constexpr int COM = 90;
constexpr int RECORDS = 180;

// The VMC address bytes that the simulator's MDB traffic uses, and their names.
const std::map<uint8_t, QString> COMMAND_NAMES = {
    {0x0B, "CHANGER: Poll"},     {0x0A, "CHANGER: Tube Status"}, {0x12, "CASHLESS #1: Poll"},
    {0x13, "CASHLESS #1: Vend"}, {0x33, "VALIDATOR: Poll"},      {0x31, "VALIDATOR: Setup"},
};

ItemRecord itemAt(const QByteArray& items, uint32_t index) {
  return itemFromBytes(reinterpret_cast<const uint8_t*>(items.constData() + qsizetype(index) * 6));
}

bool isVmcAddress(const ItemRecord& r) { return !(r.flags & ITEM_FLAG_SLAVE) && (r.flags & ITEM_FLAG_MODE); }

// A profile of its own for a serial link to the simulator on COM<com>, recording
// MDB into a temporary folder.
void setUpProfile(int profile, int com, const QString& dataDir) {
  const QString key = *platform::RegistryKeyName(profile);
  QFile::remove(platform::ProfileStore::pathForKey(key));
  platform::SetProfile(key);
  QDir().mkpath(dataDir);
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString("PropertyPage3", "FilePath", dataDir);
  p.WriteProfileString("PropertyPage3", "FileName", "MDB.ANL");
  p.WriteProfileInt("PropertyPage1", "Protocol", int(PROTOCOL_MDB));
  p.WriteProfileInt("PropertyPage2", "HDLCConnect", 1);
  p.WriteProfileString("PropertyPage2", "SerialPort", QString("COM%1:").arg(com));
}

void restoreProfile() {
  platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
}

}  // namespace

TEST(MdbListEndToEnd, TheListShowsTheNamesBesideTheRecordedBytes) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  QTemporaryDir tmp;
  setUpProfile(PROFILE, COM, tmp.path() + "/data/");

  SimProcess sim({"--com", QString::number(COM), "--scenario", "mdb", "--seed", "7", "--count",
                  QString::number(RECORDS), "--rate", "3000"});
  ASSERT_TRUE(sim.started());
  testsupport::RecordingMessageBox boxes;
  CVRIMApp app(std::make_unique<FakeDialUp>());
  ASSERT_TRUE(app.InitInstance({QString("Profile=%1").arg(PROFILE)}));
  CMainFrame* frame = app.GetMainWnd();
  CVRIMView* view = app.GetActiveView();
  frame->activateWindow();
  QApplication::setActiveWindow(frame);

  // Record through the menu and the keys.
  platform::PostMessage(frame->handle(), WM_COMMAND, ID_CONNECT_DEVICE, 0);
  ASSERT_TRUE(testsupport::waitFor([&] { return app.IsConnected(); }));
  frame->UpdateCommandUi();
  QTest::keyClick(frame, Qt::Key_F5);
  ASSERT_TRUE(view->IsRecording());
  const QString path = app.GetAcquisitionSocket()->GetWritingPath();
  ASSERT_TRUE(sim.waitForLog(QString("acquire-done records=%1").arg(RECORDS), 1, 20000));
  ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() == uint32_t(RECORDS); }, 10000));
  frame->UpdateCommandUi();
  QTest::keyClick(frame, Qt::Key_F6);
  ASSERT_FALSE(view->IsRecording());
  const QByteArray items = testsupport::readWholeFile(path).mid(24);
  ASSERT_EQ(items, sim.items());

  // List mode (F10), from the top.
  frame->UpdateCommandUi();
  QTest::keyClick(frame, Qt::Key_F10);
  ASSERT_EQ(view->GetDisplayAttribute(), DISPLAY_LIST);
  QTest::keyClick(view, Qt::Key_Home);
  ASSERT_EQ(view->GetFirstItem(), 0u);
  const uint32_t rows = view->GetCellCount();
  ASSERT_GT(rows, 10u);

  // Every row shows the item at its place; every VMC address byte carries its
  // command's name; a peripheral ACK right after a VMC message is named.
  auto pageIsNamed = [&](QString* why) {
    const uint32_t first = view->GetFirstItem();
    for (uint32_t i = 0; i < rows && first + i < uint32_t(RECORDS); ++i) {
      const CItem* c = view->cell(i);
      const ItemRecord r = itemAt(items, first + i);
      if (!c || !(c->state() & CELL_ITEM) || c->data() != r.data || c->flags() != r.flags) {
        *why = QString("row %1 does not show item %2").arg(i).arg(first + i);
        return false;
      }
      if (isVmcAddress(r)) {
        const QString expected = COMMAND_NAMES.count(r.data) ? COMMAND_NAMES.at(r.data) : QString("?");
        if (c->text() != expected) {
          *why = QString("item %1 (%2): \"%3\", not \"%4\"").arg(first + i).arg(r.data, 2, 16).arg(c->text(), expected);
          return false;
        }
      }
      const bool ackAfterVmc = i > 0 && (r.flags & ITEM_FLAG_SLAVE) && (r.flags & ITEM_FLAG_MODE) && r.data == 0 &&
                               !(itemAt(items, first + i - 1).flags & ITEM_FLAG_SLAVE);
      if (ackAfterVmc && c->text() != "ACK - Acknowledge") {
        *why = QString("item %1: \"%2\" for a peripheral ACK").arg(first + i).arg(c->text());
        return false;
      }
    }
    return true;
  };

  std::set<QString> seen;
  int pages = 0;
  while (true) {
    QString why;
    ASSERT_TRUE(testsupport::waitFor([&] { return pageIsNamed(&why); }, 3000))
        << "page at item " << view->GetFirstItem() << ": " << why.toStdString();
    for (uint32_t i = 0; i < rows; ++i)
      if (!view->cell(i)->text().isEmpty()) seen.insert(view->cell(i)->text());
    ++pages;
    const uint32_t before = view->GetFirstItem();
    QTest::keyClick(view, Qt::Key_PageDown);
    if (view->GetFirstItem() == before) break;
    ASSERT_LT(pages, RECORDS);
  }
  EXPECT_GT(pages, 2);
  // Checksum verdicts both ways and the VMC's answers to peripheral data.
  EXPECT_TRUE(seen.count("CHK Okay"));
  EXPECT_TRUE(seen.count("CHK Invalid"));
  EXPECT_TRUE(seen.count("ACK - Acknowledge"));
  EXPECT_TRUE(seen.count("NAK - Negative Acknowledge"));

  // Hex mode (F8) names nothing.
  frame->UpdateCommandUi();
  QTest::keyClick(frame, Qt::Key_F8);
  ASSERT_EQ(view->GetDisplayAttribute(), DISPLAY_HEX);
  EXPECT_TRUE(testsupport::waitFor([&] {
    for (uint32_t i = 0; i < view->GetCellCount(); ++i)
      if (!view->cell(i)->text().isEmpty()) return false;
    return true;
  }));
  EXPECT_EQ(boxes.count(), 0u);

  app.ExitInstance();
  if (app.IsConnected()) app.OnDisconnectDevice();
  restoreProfile();
}

// Started in list mode, the program names the bytes of the screen that follows a
// running recording.
TEST(MdbListEndToEnd, TheLiveListNamesTheBytesWhileRecording) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  QTemporaryDir tmp;
  setUpProfile(PROFILE + 1, COM + 1, tmp.path() + "/data/");
  platform::Profile().WriteProfileInt("General", "DisplayAttribute", int(DISPLAY_LIST));
  platform::Profile().WriteProfileInt("PropertyPage2", "StartupConnect", 1);
  platform::Profile().WriteProfileInt("PropertyPage2", "StartupAquire", 1);
  SimProcess sim({"--com", QString::number(COM + 1), "--scenario", "mdb", "--seed", "8", "--rate", "300"});
  ASSERT_TRUE(sim.started());
  testsupport::RecordingMessageBox boxes;
  CVRIMApp app(std::make_unique<FakeDialUp>());
  ASSERT_TRUE(app.InitInstance({QString("Profile=%1").arg(PROFILE + 1)}));
  CVRIMView* view = app.GetActiveView();
  ASSERT_TRUE(testsupport::waitFor([&] { return view->IsRecording(); }));
  const QString path = app.GetAcquisitionSocket()->GetWritingPath();

  // The screen of the moment: its filled rows show the file's items, at least one
  // VMC address byte is among them and each one carries its command's name.
  QString why;
  auto screenIsNamed = [&] {
    const QByteArray items = testsupport::readWholeFile(path).mid(24);
    const uint32_t first = view->GetFirstItem();
    const uint32_t filled = view->GetFilledCells();
    int named = 0;
    for (uint32_t i = 0; i < filled; ++i) {
      const CItem* c = view->cell(i);
      if (qsizetype(first + i + 1) * 6 > items.size() || !c) return false;
      const ItemRecord r = itemAt(items, first + i);
      if (c->data() != r.data) {
        why = QString("row %1 does not show item %2").arg(i).arg(first + i);
        return false;
      }
      if (!isVmcAddress(r)) continue;
      if (!COMMAND_NAMES.count(r.data) || c->text() != COMMAND_NAMES.at(r.data)) {
        why = QString("item %1: \"%2\"").arg(first + i).arg(c->text());
        return false;
      }
      ++named;
    }
    return named >= 3;
  };
  EXPECT_TRUE(testsupport::waitFor(screenIsNamed, 5000)) << why.toStdString();
  EXPECT_TRUE(view->IsRecording());
  EXPECT_EQ(boxes.count(), 0u);

  app.ExitInstance();  // stops the recording and the start-up connection
  EXPECT_FALSE(app.IsConnected());
  const QByteArray stored = testsupport::readWholeFile(path).mid(24);
  EXPECT_FALSE(stored.isEmpty());
  EXPECT_TRUE(sim.items().startsWith(stored));
  restoreProfile();
}
