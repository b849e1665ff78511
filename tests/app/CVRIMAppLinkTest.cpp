#include <gtest/gtest.h>

#include <QHostAddress>
#include <QUdpSocket>
#include <sys/resource.h>

#include <QThread>
#include <cerrno>

#include "app/CVRIMApp.h"
#include "capture/CHDLC.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "capture/HdlcEncoder.h"
#include "capture/SinkTestSupport.h"
#include "common/SystemTypes.h"
#include "platform/ProfileStore.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;
using testsupport::PtyDevice;

namespace {

QByteArray deviceFrame(uint8_t ns, const QByteArray& payload) {
  uint8_t out[1024];
  const uint8_t head[3] = {0xBD, HdlcEncoder::DataControl(ns), 1};
  const uint32_t n = HdlcEncoder::Encode(out, sizeof out, head, 3, reinterpret_cast<const uint8_t*>(payload.constData()),
                                         static_cast<uint32_t>(payload.size()));
  return QByteArray(reinterpret_cast<const char*>(out), n);
}

void setLink(const char* key, const QString& value) { platform::Profile().WriteProfileString("PropertyPage2", key, value); }
void setLink(const char* key, int value) { platform::Profile().WriteProfileInt("PropertyPage2", key, value); }

class AppLinkTest : public ::testing::Test {
protected:
  FakeDialUp* makeApp() {
    auto dial = std::make_unique<FakeDialUp>();
    FakeDialUp* raw = dial.get();
    m_app = std::make_unique<CVRIMApp>(std::move(dial));
    return raw;
  }
  // Connects the serial link to the device on COM<port> and opens a recording file
  // in its sink; returns the file's path.
  QString connectSerialRecording(uint32_t port) {
    sinktest::configureRecording(m_profile);
    makeApp();
    m_app->SetLinkType(LINKTYPE_HDLC);
    setLink("SerialPort", QString("COM%1:").arg(port));
    EXPECT_TRUE(m_app->OnConnectDevice());
    EXPECT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected(); }));
    CVRIMSocket* sink = m_app->GetAcquisitionSocket();
    return sink && sink->OpenAcquisitionFile() ? sink->GetWritingPath() : QString();
  }
  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace

TEST(CVRIMAppText, SerialPortNumberStartsAtTheFourthCharacter) {
  EXPECT_EQ(CVRIMApp::SerialPortNumber("COM1:"), 1u);
  EXPECT_EQ(CVRIMApp::SerialPortNumber("COM12:"), 12u);
  EXPECT_EQ(CVRIMApp::SerialPortNumber("COM255"), 255u);
  EXPECT_EQ(CVRIMApp::SerialPortNumber("COM:"), 0u);
  EXPECT_EQ(CVRIMApp::SerialPortNumber("CO"), 0u);
}

TEST_F(AppLinkTest, TheLinkTypeIsReadFromTheProfile) {
  makeApp();
  m_app->LoadLinkType();
  EXPECT_EQ(m_app->GetLinkType(), LINKTYPE_LAN);
  setLink("HDLCConnect", 1);
  m_app->LoadLinkType();
  EXPECT_EQ(m_app->GetLinkType(), LINKTYPE_HDLC);
  EXPECT_EQ(CVRIMApp::Instance(), m_app.get());
}

// Also after an earlier link: a failed connect leaves no link, no sink and no
// connected flag.
TEST_F(AppLinkTest, AMissingSerialPortLeavesNothingConnected) {
  makeApp();
  m_app->SetLinkType(LINKTYPE_HDLC);
  setLink("SerialPort", QString("COM20:"));
  PtyDevice dev(20);
  ASSERT_TRUE(dev.ok());
  ASSERT_TRUE(m_app->OnConnectDevice());
  ASSERT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected(); }));
  QDir().mkpath(ComPortPath::PortsFolder());
  QFile::link("/nonexistent/com7", ComPortPath::LinkPath(7));
  setLink("SerialPort", QString("COM7:"));
  EXPECT_FALSE(m_app->OnConnectDevice());
  QFile::remove(ComPortPath::LinkPath(7));
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], QString("Failed to open serial port COM7:\r\nError: %1").arg(ENOENT));
  EXPECT_FALSE(m_app->IsConnected());
  EXPECT_TRUE(m_app->OnUpdateConnectDevice());
  EXPECT_FALSE(m_app->OnUpdateDisconnectDevice());
  EXPECT_EQ(m_app->GetHdlc(), nullptr);
  EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
}

TEST_F(AppLinkTest, SerialFramesReachTheSinkAndDisconnectStopsFirst) {
  PtyDevice dev(17);
  const QString path = connectSerialRecording(17);
  ASSERT_FALSE(path.isEmpty());
  EXPECT_FALSE(m_app->OnUpdateConnectDevice());
  EXPECT_TRUE(m_app->OnUpdateDisconnectDevice());
  EXPECT_EQ(m_app->GetHdlc()->GetBaudRate(), 38400u);
  CVRIMSocket* sink = m_app->GetAcquisitionSocket();
  dev.write(deviceFrame(0, hex("20 55 E8 03 02 AA 0A")));
  dev.write(deviceFrame(1, hex("83 10 05")));
  ASSERT_TRUE(testsupport::waitFor([&] { return sink->GetFileLength() == 24 + 18; }));

  QStringList order;
  m_app->SetStopRecording([&] {
    // The link is still open when the recording is stopped.
    order << (m_app->GetHdlc() && m_app->GetHdlc()->IsConnected() ? "stop, link open" : "stop, link gone");
    m_app->GetAcquisitionSocket()->CloseAcquisitionFile();
  });
  EXPECT_TRUE(m_app->OnDisconnectDevice());
  EXPECT_EQ(order, QStringList{"stop, link open"});
  EXPECT_FALSE(m_app->IsConnected());
  EXPECT_EQ(m_app->GetHdlc(), nullptr);
  EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
  const auto items = sinktest::itemsInFile(path);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[2].time, 1015u);
}

namespace {
int64_t cpuMicroseconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}
}  // namespace

// Both link threads sleep while nothing arrives (no polling of the ring or the port).
TEST_F(AppLinkTest, AnIdleSerialLinkUsesNoCpu) {
  PtyDevice dev(19);
  ASSERT_FALSE(connectSerialRecording(19).isEmpty());
  const int64_t before = cpuMicroseconds();
  QThread::msleep(1000);
  EXPECT_LT(cpuMicroseconds() - before, 100000);  // a spinning thread would use the whole second
  EXPECT_TRUE(m_app->DisconnectSerial());
}

TEST_F(AppLinkTest, ARunningDialUpWhoseNameBeginsTheConfiguredOneIsAdoptedAndLeftUp) {
  FakeDialUp* dial = makeApp();
  dial->active = {{"Office VPN", "u-1"}, {"QX-7700", "u-2"}};
  setLink("ConnectionName", QString("QX-7700-U"));
  setLink("DeviceIPAddress", QString("127.0.0.1"));
  setLink("PortAquisition", 0);
  setLink("PortControl", 0);
  ASSERT_TRUE(m_app->ConnectLan());
  EXPECT_EQ(dial->calls, QStringList{"enum"});
  EXPECT_TRUE(m_app->IsConnected());
  EXPECT_TRUE(m_app->DisconnectLan());
  EXPECT_EQ(dial->calls, QStringList{"enum"});  // no hang-up
  EXPECT_FALSE(m_app->IsConnected());
  EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
  EXPECT_EQ(m_app->GetControlSocket(), nullptr);
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(AppLinkTest, ADialledConnectionIsHungUpAndFailuresAreShown) {
  FakeDialUp* dial = makeApp();
  setLink("DeviceIPAddress", QString("127.0.0.1"));
  setLink("PortAquisition", 0);
  setLink("PortControl", 0);
  ASSERT_TRUE(m_app->ConnectLan());
  EXPECT_EQ(dial->calls, (QStringList{"enum", "dial QX-7700"}));
  dial->hangUpError = 7;
  EXPECT_FALSE(m_app->DisconnectLan());
  EXPECT_EQ(dial->calls.last(), "hangup uuid-QX-7700");
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], "Hang up failed, Error: 7\r\nProbably still connected.");
  EXPECT_FALSE(m_app->IsConnected());

  m_box.clear();
  dial->active.clear();
  dial->enumError = 5;
  dial->dialError = 632;
  EXPECT_FALSE(m_app->OnConnectDevice());
  ASSERT_EQ(m_box.count(), 2u);
  EXPECT_EQ(m_box.texts()[0], "RasEnumConnections failed, Error: 5\r\n");
  EXPECT_EQ(m_box.texts()[1],
            "Connect failed, Error: 632\r\nPlease make sure to use the correct connection and\r\n"
            "check the connection settings in windows control panel.");
  EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
  EXPECT_TRUE(m_app->OnUpdateConnectDevice());
}

TEST_F(AppLinkTest, OnTheLocalNetworkNoDialHappens) {
  FakeDialUp* dial = makeApp();
  setLink("LanConnect", 1);
  setLink("DeviceIPAddress", QString("127.0.0.1"));
  setLink("PortAquisition", 0);
  setLink("PortControl", 0);
  ASSERT_TRUE(m_app->OnConnectDevice());
  EXPECT_EQ(dial->calls, QStringList{"enum"});
  EXPECT_TRUE(m_app->OnDisconnectDevice());
  EXPECT_EQ(dial->calls, QStringList{"enum"});
}

TEST_F(AppLinkTest, AHeldAcquisitionPortFailsTheConnect) {
  makeApp();
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
  setLink("LanConnect", 1);
  setLink("DeviceIPAddress", QString("127.0.0.1"));
  setLink("PortAquisition", holder.localPort());
  EXPECT_FALSE(m_app->ConnectLan());
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], QString("Create aquisition socket failed, Error: %1\r\n").arg(EADDRINUSE));
  EXPECT_FALSE(m_app->IsConnected());
  EXPECT_FALSE(m_app->OnUpdateDisconnectDevice());
  // A held control port too: no sink is left, so a Start creates no file.
  m_box.clear();
  setLink("PortAquisition", 0);
  setLink("PortControl", holder.localPort());
  EXPECT_FALSE(m_app->ConnectLan());
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], QString("Create control socket failed, Error: %1\r\n").arg(EADDRINUSE));
  EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
  EXPECT_EQ(m_app->GetControlSocket(), nullptr);

  // A repeated connect first lets go of what the failed one left.
  m_box.clear();
  setLink("PortAquisition", 0);
  setLink("PortControl", 0);
  setLink("DeviceIPAddress", QString("not an address"));
  EXPECT_FALSE(m_app->ConnectLan());
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_EQ(m_box.texts()[0], QString("Connect to aquisition socket failed, Error: %1\r\n").arg(EINVAL));
}
