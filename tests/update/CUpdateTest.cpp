// The update dialog's own behaviour on real widgets; its runs against the device,
// Set Boot Mark and the menu command are in the end-to-end tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "capture/CComm.h"
#include "platform/ProfileStore.h"
#include "support/PtyDevice.h"
#include "support/TestSupport.h"
#include "update/CUpdate.h"
#include "update/UpdateLink.h"

namespace {

// No device: these cases never reach the link.
struct NoLink final : UpdateLink {
  bool IsConnected() const override { return false; }
  bool OnConnectDevice() override { return false; }
  bool OnDisconnectDevice() override { return true; }
  uint32_t GetLinkType() const override { return 0; }
  bool SendDeviceCommand(const QByteArray&) override { return false; }
};

}  // namespace

TEST(UpdateDialog, ListsFreeAndBusyPortsBrowsesForHexFilesAndKeepsPathAndListPlace) {
  testsupport::TempProfile profile;
  NoLink link;
  testsupport::PtyDevice free(81), busy(82);
  CComm holder;
  ASSERT_NE(holder.Open(82, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  platform::Profile().WriteProfileInt("UpdateDialog", "FirmwarePort", 999);
  const QString chosen = profile.file("fw.HEX");
  int place = -1;
  {
    CUpdate dlg(link);
    EXPECT_EQ(dlg.windowTitle(), QString("Update QX-7700-U firmware..."));
    EXPECT_EQ(dlg.portList()->currentIndex(), -1);
    EXPECT_GE(dlg.portList()->findText("COM81"), 0);
    ASSERT_GE(place = dlg.portList()->findText("COM82"), 0);
    dlg.portList()->setCurrentIndex(place);
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(box && box->windowTitle() == "Select firmware upodate file...");
      EXPECT_EQ(box->nameFilters(), QStringList("Firmware Intel Hex File (*.HEX)"));
      box->selectFile(chosen);
      QMetaObject::invokeMethod(box, "accept");
    });
    QTest::mouseClick(dlg.browseButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.pathEdit()->text(), chosen);
  }
  CUpdate again(link);
  EXPECT_EQ(again.portList()->currentIndex(), place);
  EXPECT_EQ(again.pathEdit()->text(), chosen);
}

// Each wait lasts its whole length, also from 45 ms past a second, where a coarse timer would end at the second.
TEST(UpdateDialog, EveryWaitLastsItsWholeLength) {
  using namespace std::chrono;
  CUpdate::SetLongWaitDivisor(5);
  for (uint32_t ms : {50u, 100u, 1000u, 5000u, 10000u}) {
    std::this_thread::sleep_for(1045ms - steady_clock::now().time_since_epoch() % 1s);
    const auto begun = steady_clock::now();
    CUpdate::Wait(ms);
    EXPECT_GE(steady_clock::now() - begun, milliseconds(ms >= 1000 ? ms / 5 : ms)) << ms;
  }
  CUpdate::SetLongWaitDivisor(1);
}
