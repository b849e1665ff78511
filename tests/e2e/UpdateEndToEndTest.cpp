// The firmware update run by the real dialog against the simulator's boot loader,
// with the device reached over the serial link or over the LAN.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/DeviceCommands.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"
#include "support/LinkHelpers.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"
#include "update/CUpdate.h"

using testsupport::SimNetwork;
using testsupport::SimProcess;

namespace {

class UpdateEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
    CUpdate::SetLongWaitDivisor(10);
    m_app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>());
    m_app->SetLinkType(LINKTYPE_HDLC);
  }
  void TearDown() override {
    CUpdate::SetLongWaitDivisor(1);
    if (m_app && m_app->IsConnected()) m_app->OnDisconnectDevice();
  }
  void useSerial(uint32_t com) { testsupport::setLink("SerialPort", QString("COM%1:").arg(com)); }
  // The firmware file: `lines` HEX records, the last one the end record.
  QByteArray firmware(int lines) {
    QByteArray bytes;
    for (int i = 0; i + 1 < lines; ++i) bytes += QString::asprintf(":10%04X00%032X%02X\r\n", i * 16, i, i).toLatin1();
    bytes += ":00000001FF\r\n";
    testsupport::writeWholeFile(m_profile.file("fw.HEX"), bytes);
    return bytes;
  }
  std::unique_ptr<CUpdate> open(uint32_t bootCom, const char* file = "fw.HEX") {
    platform::Profile().WriteProfileString("UpdateDialog", "FirmwareFile", m_profile.file(file));
    auto dlg = std::make_unique<CUpdate>(*m_app);
    dlg->portList()->setCurrentIndex(dlg->portList()->findText(QString("COM%1").arg(bootCom)));
    dlg->show();
    return dlg;
  }
  // Start Update returns once the whole update has run.
  void start(CUpdate& dlg) { QTest::mouseClick(dlg.startButton(), Qt::LeftButton); }
  void expectUpdated(CUpdate& dlg, const SimProcess& sim, const QByteArray& file) {
    EXPECT_EQ(dlg.stepLine(4)->text(), QString("Step 4: Downloading record: 99"));
    QByteArray received;
    for (const QString& l : sim.log().split('\n'))
      if (l.startsWith("boot-line ")) received += QByteArray::fromHex(l.mid(10).toLatin1());
    EXPECT_EQ(received, file);
    const auto crc = QRegularExpression("boot-checksum (0x\\w+)").match(sim.log());
    EXPECT_EQ(dlg.stepLine(5)->text(), "Step 5: The new checksum: " + crc.captured(1));
    EXPECT_EQ(dlg.startButton()->text(), QString("Finish"));
    EXPECT_TRUE(sim.waitForLog("firmware ready"));
    EXPECT_TRUE(m_app->OnConnectDevice() && testsupport::waitFor([&] { return m_app->IsConnected(); }));
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace

TEST_F(UpdateEndToEnd, SerialUpdateWithTheRealWaitsEndsWithTheFirmwareAnsweringAgain) {
  CUpdate::SetLongWaitDivisor(1);
  SimProcess sim({"--com", "61"});
  ASSERT_TRUE(sim.started());
  useSerial(61);
  const QByteArray file = firmware(100);
  const auto dlg = open(61);
  start(*dlg);
  EXPECT_TRUE(sim.waitForLog("cmd boot 3"));
  expectUpdated(*dlg, sim, file);
  EXPECT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(false)));
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(UpdateEndToEnd, LanUpdateEndsWithTheDeviceAnsweringAgain) {
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  SimProcess sim(net.simArgs() + QStringList{"--boot-com", "62", "--restart-delay", "300"});
  ASSERT_TRUE(sim.started());
  testsupport::setLan(net.deviceAddr, net.acquisitionPort, net.controlPort);
  m_app->SetLinkType(LINKTYPE_LAN);
  ASSERT_TRUE(m_app->OnConnectDevice());
  const QByteArray file = firmware(100);
  auto standIn = std::make_unique<testsupport::PtyDevice>(62);  // the boot loader's port is listed, as a USB port
  auto dlg = open(62);
  standIn.reset();
  start(*dlg);
  expectUpdated(*dlg, sim, file);
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Version()));
  uint8_t reply[256] = {};
  EXPECT_TRUE(testsupport::waitFor([&] { return m_app->ReadControlReply(reply); }));
}

// Every run is cancelled while it waits: the waits serve the queue, the dialog
// closes and the steps still run to their end.
TEST_F(UpdateEndToEnd, EachFailureShowsItsLineAndABootLoaderAlreadyRunningSkipsStepsTwoAndThree) {
  const struct {
    QStringList sim;
    uint32_t link, boot;
    const char* file;
    int step, lastStep;
    QString line, box;
  } rows[] = {
      {{}, 65, 0, "fw.HEX", 1, 1, QString("Enter boot mode failed, Error %1").arg(ENODEV), ""},  // no port selected
      {{}, 65, 64, "fw.HEX", 1, 1, "Enter boot mode failed, Error 2", "Failed to open serial port COM65:\r\nError: 2"},
      {{"--com", "66", "--boot-com", "67", "--restart-delay", "100"}, 66, 66, "fw.HEX", 3, 3,
       "Open comm port failed, Error 2", "Failed to open serial port COM66:\r\nError: 2"},
      {{"--com", "68", "--boot-no-prompt", "--restart-delay", "100"}, 68, 68, "fw.HEX", 3, 3,
       QString("Failed to enter boot mode, Error %1").arg(ETIMEDOUT), ""},
      {{"--com", "69", "--boot"}, 69, 69, "none.HEX", 4, 4, "Open firmware file failed, Error 2", ""},
      {{"--com", "70", "--boot", "--boot-no-checksum"}, 70, 70, "fw.HEX", 5, 6, "Step 5: Requesting checksum failed...",
       ""},
      {{"--com", "63", "--boot", "--boot-stale-reply", "--restart-delay", "100"}, 63, 63, "fw.HEX", 4, 6,
       "Step 4: Downloading record: 2", ""},
  };
  firmware(3);
  for (const auto& r : rows) {
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<testsupport::PtyDevice> silentPort;
    if (!r.sim.isEmpty()) sim = std::make_unique<SimProcess>(r.sim);
    else if (r.boot) silentPort = std::make_unique<testsupport::PtyDevice>(r.boot);
    useSerial(r.link);
    auto dlg = open(r.boot, r.file);
    m_box.clear();
    QTimer::singleShot(50, [&] { QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton); });
    start(*dlg);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(dlg->stepLine(r.step)->text(), r.line);
    for (int i = 1; i <= 6; ++i) {
      EXPECT_EQ(!dlg->stepLine(i)->isHidden(), i <= r.lastStep) << r.line.toStdString() << i;
      EXPECT_TRUE(i >= r.step || dlg->stepLine(i)->text().startsWith(QString("Step %1: ").arg(i)));
    }
    EXPECT_EQ(m_box.count() ? m_box.texts()[0] : QString(), r.box);
    EXPECT_TRUE(r.boot != 0 || !m_app->IsConnected());  // without a port the device is left alone
    EXPECT_TRUE(!sim || sim->count("cmd boot") == (r.sim.contains("--boot") ? 0 : 1));
    EXPECT_TRUE(!sim || sim->count("boot-line-early") == 0) << "a line went out before the answer to the one before";
    if (m_app->IsConnected()) m_app->OnDisconnectDevice();
  }
}

TEST_F(UpdateEndToEnd, TheMenuCommandRunsTheDialogWhoseBootMarkGoesOverTheSerialLink) {
  SimProcess sim({"--com", "71"});
  ASSERT_TRUE(sim.started());
  ASSERT_TRUE(m_app->InitInstance({"Profile=98"}));
  useSerial(71);
  m_app->SetLinkType(LINKTYPE_HDLC);
  CMainFrame* frame = m_app->GetMainWnd();
  frame->UpdateCommandUi();
  ASSERT_TRUE(frame->action(ID_UPDATE_FIRMWARE)->isEnabled());
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<CUpdate*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    QTest::mouseClick(dlg->bootMarkButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->stepLine(1)->text(), QString("Set boot mark failed, Error %1").arg(ENOTCONN));
    EXPECT_TRUE(dlg->stepLine(1)->isHidden());
    ASSERT_TRUE(m_app->OnConnectDevice() && testsupport::waitFor([&] { return m_app->IsConnected(); }));
    QTest::mouseClick(dlg->bootMarkButton(), Qt::LeftButton);
    EXPECT_TRUE(sim.waitForLog("cmd boot 3"));
    EXPECT_EQ(dlg->cancelButton()->text(), QString("QUIT"));
    EXPECT_FALSE(dlg->startButton()->isEnabled());
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
  });
  frame->action(ID_UPDATE_FIRMWARE)->trigger();
  m_app->ExitInstance();
}
