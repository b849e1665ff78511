// The firmware update run by the real dialog against the simulator's boot loader,
// with the device reached over the serial link or over the LAN.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"
#include "update/CUpdate.h"

using testsupport::SimNetwork;
using testsupport::SimProcess;

namespace {

const QString SERIAL_PORT = QStringLiteral("SerialPort");

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
  void useSerial(uint32_t com) {
    platform::Profile().WriteProfileString("PropertyPage2", SERIAL_PORT, QString("COM%1:").arg(com));
  }
  // A firmware file of `lines` HEX records, the last one the end record.
  QByteArray firmware(int lines, const QString& path) {
    QByteArray bytes;
    for (int i = 0; i + 1 < lines; ++i) bytes += QString::asprintf(":10%04X00%032X%02X\r\n", i * 16, i, i).toLatin1();
    bytes += ":00000001FF\r\n";
    testsupport::writeWholeFile(path, bytes);
    return bytes;
  }
  std::unique_ptr<CUpdate> open(uint32_t bootCom, const QString& file) {
    platform::Profile().WriteProfileString("UpdateDialog", "FirmwareFile", file);
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
    EXPECT_TRUE(dlg.stepLine(6)->isVisible());
    EXPECT_EQ(dlg.startButton()->text(), QString("Finish"));
    EXPECT_TRUE(sim.waitForLog("firmware ready"));
    EXPECT_TRUE(m_app->OnConnectDevice());
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
  const QByteArray file = firmware(100, m_profile.file("fw.HEX"));
  auto dlg = open(61, m_profile.file("fw.HEX"));
  start(*dlg);
  EXPECT_TRUE(sim.waitForLog("cmd boot 3"));
  expectUpdated(*dlg, sim, file);
  ASSERT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected(); }));
  EXPECT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(false)));
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(UpdateEndToEnd, LanUpdateEndsWithTheDeviceAnsweringAgain) {
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  SimProcess sim(net.simArgs() + QStringList{"--boot-com", "62", "--restart-delay", "300"});
  ASSERT_TRUE(sim.started());
  for (auto [key, value] : {std::pair{"LanConnect", QString("1")}, {"DeviceIPAddress", net.deviceAddr},
                            {"PortAquisition", QString::number(net.acquisitionPort)},
                            {"PortControl", QString::number(net.controlPort)}})
    platform::Profile().WriteProfileString("PropertyPage2", key, value);
  m_app->SetLinkType(LINKTYPE_LAN);
  ASSERT_TRUE(m_app->OnConnectDevice());
  const QByteArray file = firmware(100, m_profile.file("fw.HEX"));
  std::unique_ptr<CUpdate> dlg;
  {
    // The boot loader's port is listed when the dialog opens, as a USB port would be.
    testsupport::PtyDevice standIn(62);
    dlg = open(62, m_profile.file("fw.HEX"));
  }
  start(*dlg);
  expectUpdated(*dlg, sim, file);
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Version()));
  uint8_t reply[256] = {};
  EXPECT_TRUE(testsupport::waitFor([&] { return m_app->ReadControlReply(reply); }));
}

TEST_F(UpdateEndToEnd, ADeviceAlreadyInItsBootLoaderSkipsStepsTwoAndThree) {
  SimProcess sim({"--com", "63", "--boot", "--restart-delay", "100"});
  ASSERT_TRUE(sim.started());
  useSerial(63);
  firmware(3, m_profile.file("fw.HEX"));
  auto dlg = open(63, m_profile.file("fw.HEX"));
  // The waits serve the queue: Cancel pressed meanwhile closes the dialog, and the
  // update still runs to its end.
  QTimer::singleShot(100, [&] { QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton); });
  start(*dlg);
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
  EXPECT_TRUE(dlg->isHidden());
  EXPECT_EQ(dlg->stepLine(2)->text(), QString("Step 2: Disconnecting current communication link..."));
  EXPECT_EQ(dlg->stepLine(3)->text(), QString("Step 3: Check if device is in boot mode..."));
  EXPECT_EQ(dlg->stepLine(4)->text(), QString("Step 4: Downloading record: 2"));
  EXPECT_TRUE(sim.waitForLog("firmware ready"));
  EXPECT_EQ(sim.count("cmd boot"), 0);
}

TEST_F(UpdateEndToEnd, EachFailureShowsItsLineAndStopsTheStepsItMust) {
  const struct {
    QStringList sim;
    uint32_t link, boot;
    bool fileMissing;
    int lastStep;
    QString line, box;
  } rows[] = {
      {{}, 65, 64, false, 1, "Enter boot mode failed, Error 2", "Failed to open serial port COM65:\r\nError: 2"},
      {{"--com", "66", "--boot-com", "67", "--restart-delay", "100"}, 66, 66, false, 3,
       "Open comm port failed, Error 2", "Failed to open serial port COM66:\r\nError: 2"},
      {{"--com", "68", "--boot-no-prompt", "--restart-delay", "100"}, 68, 68, false, 3,
       QString("Failed to enter boot mode, Error %1").arg(ETIMEDOUT), ""},
      {{"--com", "69", "--boot"}, 69, 69, true, 4, "Open firmware file failed, Error 2", ""},
      {{"--com", "70", "--boot", "--boot-no-checksum"}, 70, 70, false, 6, "Step 5: Requesting checksum failed...", ""},
  };
  for (const auto& r : rows) {
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<testsupport::PtyDevice> silentPort;
    if (r.sim.isEmpty()) silentPort = std::make_unique<testsupport::PtyDevice>(r.boot);
    else sim = std::make_unique<SimProcess>(r.sim);
    useSerial(r.link);
    firmware(3, m_profile.file("fw.HEX"));
    auto dlg = open(r.boot, m_profile.file(r.fileMissing ? "none.HEX" : "fw.HEX"));
    m_box.clear();
    start(*dlg);
    const int failed = r.lastStep == 6 ? 5 : r.lastStep;
    EXPECT_EQ(dlg->stepLine(failed)->text(), r.line);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(dlg->stepLine(i)->isVisible(), i <= r.lastStep) << r.line.toStdString() << i;
    EXPECT_EQ(m_box.count() ? m_box.texts()[0] : QString(), r.box);
    if (m_app->IsConnected()) m_app->OnDisconnectDevice();
  }
}

TEST_F(UpdateEndToEnd, SetBootMarkSendsTheBootCommandOverTheSerialLink) {
  SimProcess sim({"--com", "71"});
  ASSERT_TRUE(sim.started());
  useSerial(71);
  ASSERT_TRUE(m_app->OnConnectDevice());
  ASSERT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected(); }));
  auto dlg = open(71, QString());
  QTest::mouseClick(dlg->bootMarkButton(), Qt::LeftButton);
  EXPECT_TRUE(sim.waitForLog("cmd boot 3"));
  EXPECT_EQ(dlg->cancelButton()->text(), QString("QUIT"));
  EXPECT_FALSE(dlg->startButton()->isEnabled());
}

TEST_F(UpdateEndToEnd, TheMenuCommandRunsTheDialogModallyAndItsChoicesAreKept) {
  ASSERT_TRUE(m_app->InitInstance({"Profile=98"}));
  CMainFrame* frame = m_app->GetMainWnd();
  frame->UpdateCommandUi();
  ASSERT_TRUE(frame->action(ID_UPDATE_FIRMWARE)->isEnabled());
  QTimer::singleShot(0, [] {
    auto* dlg = qobject_cast<CUpdate*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    QTest::keyClicks(dlg->pathEdit(), "/fw/new.HEX");
    QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
  });
  frame->action(ID_UPDATE_FIRMWARE)->trigger();
  EXPECT_EQ(platform::Profile().GetProfileString("UpdateDialog", "FirmwareFile", ""), QString("/fw/new.HEX"));
  m_app->ExitInstance();
}
