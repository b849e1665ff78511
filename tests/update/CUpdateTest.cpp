// The update dialog's own behaviour on real widgets; its runs against the device
// are in the end-to-end tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cerrno>

#include "capture/CComm.h"
#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"
#include "update/CUpdate.h"
#include "update/UpdateLink.h"

namespace {

struct TestLink final : UpdateLink {
  bool connected = false;
  std::vector<QByteArray> sent;
  bool IsConnected() const override { return connected; }
  bool OnConnectDevice() override { return connected = true; }
  bool OnDisconnectDevice() override { return !(connected = false); }
  uint32_t GetLinkType() const override { return LINKTYPE_HDLC; }
  bool SendDeviceCommand(const QByteArray& command) override {
    sent.push_back(command);
    return connected;
  }
};

class UpdateDialog : public ::testing::Test {
protected:
  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  TestLink m_link;
};

}  // namespace

TEST_F(UpdateDialog, ListsFreeAndBusyPortsAndKeepsPathAndListPlace) {
  testsupport::PtyDevice free(81), busy(82);
  CComm holder;
  ASSERT_NE(holder.Open(82, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  platform::Profile().WriteProfileInt("UpdateDialog", "FirmwarePort", 999);
  int place = -1;
  {
    CUpdate dlg(m_link);
    EXPECT_EQ(dlg.windowTitle(), QString("Update QX-7700-U firmware..."));
    EXPECT_EQ(dlg.portList()->currentIndex(), -1);
    EXPECT_GE(dlg.portList()->findText("COM81"), 0);
    place = dlg.portList()->findText("COM82");
    ASSERT_GE(place, 0);
    dlg.portList()->setCurrentIndex(place);
    QTest::keyClicks(dlg.pathEdit(), "/tmp/new.HEX");
    for (int i = 0; i <= 6; ++i) EXPECT_TRUE(dlg.stepLine(i)->isHidden());
  }
  CUpdate again(m_link);
  EXPECT_EQ(again.portList()->currentIndex(), place);
  EXPECT_EQ(again.pathEdit()->text(), QString("/tmp/new.HEX"));
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(UpdateDialog, WithoutAPortTheUpdateStopsAtStepOneAndTouchesNothing) {
  platform::Profile().WriteProfileInt("UpdateDialog", "FirmwarePort", 999);
  CUpdate dlg(m_link);
  dlg.show();
  QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.stepLine(1)->text(), QString("Enter boot mode failed, Error %1").arg(ENODEV));
  EXPECT_TRUE(dlg.stepLine(0)->isVisible() && dlg.stepLine(1)->isVisible() && dlg.stepLine(2)->isHidden());
  EXPECT_TRUE(m_link.sent.empty() && !m_link.connected);
  EXPECT_EQ(dlg.startButton()->text(), QString("Finish"));
  QTest::mouseClick(dlg.startButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(UpdateDialog, SetBootMarkSendsTheBootCommandOrSaysWhyNot) {
  for (const bool connected : {false, true}) {
    m_link.connected = connected;
    CUpdate dlg(m_link);
    QTest::mouseClick(dlg.bootMarkButton(), Qt::LeftButton);
    EXPECT_EQ(m_link.sent.back(), QByteArray("\x05\x03\x03"));
    EXPECT_EQ(dlg.stepLine(1)->text(), connected ? QString("Step 1: Enter device boot mode... ")
                                                 : QString("Set boot mark failed, Error %1").arg(ENOTCONN));
    EXPECT_TRUE(dlg.stepLine(1)->isHidden());
    EXPECT_FALSE(dlg.startButton()->isEnabled());
    EXPECT_EQ(dlg.cancelButton()->text(), QString("QUIT"));
  }
}

TEST_F(UpdateDialog, BrowseOffersHexFilesAndTakesTheChosenPath) {
  CUpdate dlg(m_link);
  const QString chosen = m_profile.file("fw.HEX");
  QString title, filter;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    filter = box->nameFilters().join('|');
    box->selectFile(chosen);
    QMetaObject::invokeMethod(box, "accept");
  });
  QTest::mouseClick(dlg.browseButton(), Qt::LeftButton);
  EXPECT_EQ(title, QString("Select firmware upodate file..."));
  EXPECT_EQ(filter, QString("Firmware Intel Hex File (*.HEX)"));
  EXPECT_EQ(dlg.pathEdit()->text(), chosen);
}
