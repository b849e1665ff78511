// The program's link against the QX-7700 simulator: over a real pseudo-terminal and
// over UDP to a device in a network namespace of its own.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

#include "app/CVRIMApp.h"
#include "capture/CHDLC.h"
#include "capture/CVRIMSocket.h"
#include "capture/DeviceCommands.h"
#include "capture/FakeDialUp.h"
#include "capture/SinkTestSupport.h"
#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::hex;
using testsupport::SimNetwork;
using testsupport::SimProcess;

namespace {

void setLink(const char* key, const QString& value) { platform::Profile().WriteProfileString("PropertyPage2", key, value); }
void setLink(const char* key, int value) { platform::Profile().WriteProfileInt("PropertyPage2", key, value); }

class LinkEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
    sinktest::configureRecording(m_profile);
    m_app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>());
  }
  void TearDown() override {
    if (m_app && m_app->IsConnected()) m_app->OnDisconnectDevice();
  }
  QByteArray fileItems(const QString& path) { return testsupport::readWholeFile(path).mid(24); }
  // The program's LAN link to the simulated device of this test process.
  void useLan(const SimNetwork& net) {
    setLink("LanConnect", 1);
    setLink("DeviceIPAddress", net.deviceAddr);
    setLink("PortAquisition", net.acquisitionPort);
    setLink("PortControl", net.controlPort);
    m_app->SetLinkType(LINKTYPE_LAN);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace

TEST_F(LinkEndToEnd, SerialRecordsArriveInTheFileExactlyAndInOrder) {
  // The largest batch a frame carries.
  SimProcess sim({"--com", "51", "--count", "1500", "--rate", "6000", "--scenario", "mixed", "--seed", "3",
                  "--garbage", "4", "--batch", "250"});
  ASSERT_TRUE(sim.started());
  setLink("SerialPort", QString("COM51:"));
  m_app->SetLinkType(LINKTYPE_HDLC);
  ASSERT_TRUE(m_app->OnConnectDevice());
  ASSERT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected(); }));
  CVRIMSocket* sink = m_app->GetAcquisitionSocket();
  ASSERT_TRUE(sink->OpenAcquisitionFile());
  const QString path = sink->GetWritingPath();

  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::BusLoad()));
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::LineSettings()));
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(true)));
  EXPECT_TRUE(sim.waitForLog("cmd bus-load"));
  EXPECT_TRUE(sim.waitForLog("cmd line-settings baud=9600"));
  ASSERT_TRUE(sim.waitForLog("acquire-done records=1500", 1, 30000));
  ASSERT_TRUE(testsupport::waitFor([&] { return sink->GetFileLength() >= 24 + 1500 * 6; }, 30000));
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(false)));
  sink->CloseAcquisitionFile();
  EXPECT_EQ(fileItems(path), sim.items());
  // Each command was carried out once.
  EXPECT_EQ(sim.count("cmd acquire 1"), 1);
  EXPECT_EQ(sim.count("cmd bus-load"), 1);
  EXPECT_TRUE(m_app->OnDisconnectDevice());
}

// A batch that no frame or datagram carries would make the program drop everything.
TEST_F(LinkEndToEnd, TheSimulatorRefusesABatchAboveWhatOneFrameOrDatagramCarries) {
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--com", "53", "--batch", "251"}), 2);
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--lan", "--batch", "1025"}), 2);
}

TEST_F(LinkEndToEnd, ADeviceThatDoesNotAcknowledgeFailsTheCommandAfterAbout750Ms) {
  SimProcess sim({"--com", "52", "--no-ack"});
  ASSERT_TRUE(sim.started());
  setLink("SerialPort", QString("COM52:"));
  m_app->SetLinkType(LINKTYPE_HDLC);
  ASSERT_TRUE(m_app->ConnectSerial());
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(m_app->SendDeviceCommand(DeviceCommands::BusLoad()));
  EXPECT_GE(t.elapsed(), 700);
  EXPECT_TRUE(sim.waitForLog("frame-in ns=0 ch=1 04 05", 3));
  EXPECT_TRUE(m_app->DisconnectSerial());
}

TEST_F(LinkEndToEnd, LanRecordsArriveExactlyAndTheVersionReplyIsReadOnce) {
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  QStringList args = net.simArgs();
  args << "--count" << "1200" << "--rate" << "6000" << "--scenario" << "mdb";
  SimProcess sim(args);
  ASSERT_TRUE(sim.started());
  useLan(net);
  ASSERT_TRUE(m_app->OnConnectDevice());
  EXPECT_TRUE(m_app->IsConnected());

  // Version: the reply is stored by the control socket and handed out once.
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Version()));
  uint8_t reply[256] = {};
  ASSERT_TRUE(testsupport::waitFor([&] { return m_app->ReadControlReply(reply); }));
  EXPECT_EQ(reply[3], 4);
  EXPECT_EQ(reply[4], 11);
  EXPECT_FALSE(m_app->ReadControlReply(reply));

  CVRIMSocket* sink = m_app->GetAcquisitionSocket();
  ASSERT_TRUE(sink->OpenAcquisitionFile());
  const QString path = sink->GetWritingPath();
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(true)));
  ASSERT_TRUE(sim.waitForLog("acquire-start"));
  // An oversize datagram in the middle of the recording is lost as a whole; an empty
  // one is ignored.
  sim.control("oversize acq");
  sim.control("empty acq");
  ASSERT_TRUE(testsupport::waitFor([&] { return sink->GetFileLength() >= 24 + 1200 * 6; }, 30000));
  EXPECT_TRUE(sim.waitForLog("oversize-datagram acq"));
  sink->CloseAcquisitionFile();
  EXPECT_EQ(fileItems(path), sim.items());

  // An empty datagram on the control port leaves it working.
  sim.control("empty ctrl");
  ASSERT_TRUE(sim.waitForLog("empty-datagram ctrl"));
  ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Version()));
  EXPECT_TRUE(testsupport::waitFor([&] { return m_app->ReadControlReply(reply); }));
  EXPECT_TRUE(m_app->OnDisconnectDevice());
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(LinkEndToEnd, ASecondProgramCannotTakeTheDevicePorts) {
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  SimProcess sim(net.simArgs());
  ASSERT_TRUE(sim.started());
  useLan(net);
  ASSERT_TRUE(m_app->OnConnectDevice());
  CVRIMApp second(std::make_unique<FakeDialUp>());
  second.SetLinkType(LINKTYPE_LAN);
  EXPECT_FALSE(second.OnConnectDevice());
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], QString("Create aquisition socket failed, Error: %1\r\n").arg(EADDRINUSE));
}
