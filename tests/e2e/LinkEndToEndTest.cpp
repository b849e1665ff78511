// The program's link against the QX-7700 simulator: over a real pseudo-terminal and
// over UDP to a device in a network namespace of its own.
#include <gtest/gtest.h>

#include <QProcess>

#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/DeviceCommands.h"
#include "capture/FakeDialUp.h"
#include "capture/SinkTestSupport.h"
#include "common/SystemTypes.h"
#include "support/LinkHelpers.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::setLink;
using testsupport::SimNetwork;
using testsupport::SimProcess;

namespace {

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
  // Starts the acquisition (after `before` commands) and compares the file with what
  // the simulator sent.
  void recordAll(const SimProcess& sim, int records, const std::vector<QByteArray>& before = {}) {
    CVRIMSocket* sink = m_app->GetAcquisitionSocket();
    ASSERT_TRUE(sink->OpenAcquisitionFile());
    for (const QByteArray& command : before) ASSERT_TRUE(m_app->SendDeviceCommand(command));
    ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(true)));
    ASSERT_TRUE(testsupport::waitFor([&] { return sink->GetFileLength() >= 24u + records * 6u; }, 30000));
    ASSERT_TRUE(m_app->SendDeviceCommand(DeviceCommands::Acquire(false)));
    const QString path = sink->GetWritingPath();
    sink->CloseAcquisitionFile();
    EXPECT_EQ(testsupport::readWholeFile(path).mid(24), sim.items());
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
  recordAll(sim, 1500, {DeviceCommands::BusLoad(), DeviceCommands::LineSettings()});
  EXPECT_TRUE(sim.waitForLog("cmd line-settings baud=9600"));
  EXPECT_EQ(sim.count("cmd acquire 1"), 1);  // each command carried out once
  EXPECT_EQ(sim.count("cmd bus-load"), 1);
  EXPECT_TRUE(m_app->OnDisconnectDevice());
}

// A batch that no frame or datagram carries would make the program drop everything.
TEST_F(LinkEndToEnd, TheSimulatorRefusesABatchAboveWhatOneFrameOrDatagramCarries) {
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--com", "53", "--batch", "251"}), 2);
  EXPECT_EQ(QProcess::execute(SimProcess::program(), {"--lan", "--batch", "1025"}), 2);
}

TEST_F(LinkEndToEnd, LanRecordsArriveInTheFileExactly) {
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  SimProcess sim(net.simArgs() << "--count" << "1200" << "--rate" << "6000" << "--scenario" << "mdb");
  ASSERT_TRUE(sim.started());
  testsupport::setLan(net.deviceAddr, net.acquisitionPort, net.controlPort);
  m_app->SetLinkType(LINKTYPE_LAN);
  ASSERT_TRUE(m_app->OnConnectDevice());
  EXPECT_TRUE(m_app->IsConnected());
  recordAll(sim, 1200);
  EXPECT_TRUE(m_app->OnDisconnectDevice());
  EXPECT_EQ(m_box.count(), 0u);
}
