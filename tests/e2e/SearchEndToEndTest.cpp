// The whole program searches an MDB recording that it made from the simulator: Ctrl+F
// and F3 on the main window find, in order, every occurrence that a plain item by item
// scan of the file finds, and the end message counts them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CellCodes.h"
#include "common/CommandIds.h"
#include "display/CItem.h"
#include "display/CSearchPatternDlg.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::SimProcess;

TEST(SearchEndToEnd, CtrlFAndF3FindEveryOccurrenceOfTheRecording) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  constexpr int PROFILE = 20, COM = 80, RECORDS = 180;
  QTemporaryDir tmp;
  QFile::remove(platform::ProfileStore::pathForKey(*platform::RegistryKeyName(PROFILE)));
  platform::SetProfile(*platform::RegistryKeyName(PROFILE));
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString("PropertyPage3", "FilePath", tmp.path() + "/");
  p.WriteProfileInt("PropertyPage2", "HDLCConnect", 1);
  p.WriteProfileString("PropertyPage2", "SerialPort", QString("COM%1:").arg(COM));
  SimProcess sim({"--com", QString::number(COM), "--scenario", "mdb", "--seed", "7", "--count",
                  QString::number(RECORDS), "--rate", "3000"});
  ASSERT_TRUE(sim.started());
  testsupport::RecordingMessageBox boxes;
  CVRIMApp app(std::make_unique<FakeDialUp>());
  ASSERT_TRUE(app.InitInstance({QString("Profile=%1").arg(PROFILE)}));
  CMainFrame* frame = app.GetMainWnd();
  CVRIMView* view = app.GetActiveView();
  auto press = [&](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    frame->activateWindow();
    QApplication::setActiveWindow(frame);
    frame->UpdateCommandUi();
    QTest::keyClick(frame, k, mods);
    platform::PumpMessages();
  };

  platform::PostMessage(frame->handle(), WM_COMMAND, ID_CONNECT_DEVICE, 0);
  ASSERT_TRUE(testsupport::waitFor([&] { return app.IsConnected(); }));
  press(Qt::Key_F5);
  const QString path = app.GetAcquisitionSocket()->GetWritingPath();
  ASSERT_TRUE(sim.waitForLog(QString("acquire-done records=%1").arg(RECORDS), 1, 20000));
  ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() == uint32_t(RECORDS); }, 10000));
  press(Qt::Key_F6);
  ASSERT_FALSE(view->IsRecording());

  // The changer's poll, its checksum and the ACK, found item by item by the rules.
  const QByteArray pattern = QByteArray::fromHex("0B0B00");
  const QByteArray items = testsupport::readWholeFile(path).mid(24);
  std::vector<uint32_t> expected;
  for (qsizetype i = 0, m = 0; i + 6 <= items.size(); i += 6) {
    m = items[i + 1] == pattern[m] ? m + 1 : 0;
    if (m == pattern.size()) expected.push_back(uint32_t(i / 6 + 1 - m)), m = 0;
  }
  ASSERT_GE(expected.size(), 2u);

  press(Qt::Key_F, Qt::ControlModifier);
  CSearchPatternDlg* dlg = view->searchDialog();
  ASSERT_TRUE(dlg && dlg->isVisible());
  QTest::keyClicks(dlg->patternList()->lineEdit(), "0b 0b 00");
  QTest::keyClick(dlg->patternList()->lineEdit(), Qt::Key_Return);
  for (size_t k = 0; k < expected.size(); ++k) {
    if (k > 0) press(Qt::Key_F3);
    ASSERT_TRUE(testsupport::waitFor([&] { return view->GetSearchMarkFirst() == expected[k]; }, 3000)) << k;
    const CItem* cell = view->cell(expected[k] - view->GetFirstItem());
    EXPECT_TRUE(cell && (cell->state() & CELL_SEARCH) && cell->data() == 0x0B);
  }
  EXPECT_EQ(boxes.count(), 0u);
  press(Qt::Key_F3);
  ASSERT_TRUE(testsupport::waitFor([&] { return boxes.count() == 1; }));
  EXPECT_EQ(boxes.texts()[0],
            QString("End of aquisition file reached,\nFound total: %1 occurrences.").arg(expected.size()));
  EXPECT_EQ(view->searchDialog(), nullptr);

  app.ExitInstance();
  if (app.IsConnected()) app.OnDisconnectDevice();
  platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
}
