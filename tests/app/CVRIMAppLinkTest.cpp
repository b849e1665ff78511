#include <gtest/gtest.h>

#include <QHostAddress>
#include <QUdpSocket>
#include <QThread>
#include <cerrno>
#include <sys/resource.h>

#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "capture/SinkTestSupport.h"
#include "common/SystemTypes.h"
#include "support/LinkHelpers.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::PtyDevice;
using testsupport::setLan;
using testsupport::setLink;

namespace {

class AppLinkTest : public ::testing::Test {
protected:
  FakeDialUp* makeApp() {
    auto dial = std::make_unique<FakeDialUp>();
    FakeDialUp* raw = dial.get();
    m_app = std::make_unique<CVRIMApp>(std::move(dial));
    return raw;
  }
  // Connects the serial link to the device on COM<port>, with a recording file open in
  // its sink if asked.
  bool connectSerial(uint32_t port, bool recording = true) {
    sinktest::configureRecording(m_profile);
    makeApp();
    m_app->SetLinkType(LINKTYPE_HDLC);
    setLink("SerialPort", QString("COM%1:").arg(port));
    return m_app->OnConnectDevice() && testsupport::waitFor([&] { return m_app->IsConnected(); }) &&
           (!recording || m_app->GetAcquisitionSocket()->OpenAcquisitionFile());
  }
  // A failed connect leaves no link, no sink and no connected flag.
  void expectNothingConnected() {
    EXPECT_FALSE(m_app->IsConnected());
    EXPECT_TRUE(m_app->OnUpdateConnectDevice());
    EXPECT_FALSE(m_app->OnUpdateDisconnectDevice());
    EXPECT_EQ(m_app->GetHdlc(), nullptr);
    EXPECT_EQ(m_app->GetAcquisitionSocket(), nullptr);
    EXPECT_EQ(m_app->GetControlSocket(), nullptr);
  }
  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace

TEST(CVRIMAppText, SerialPortNumberStartsAtTheFourthCharacter) {
  for (auto [text, number] : {std::pair{"COM1:", 1u}, {"COM12:", 12u}, {"COM255", 255u}, {"COM:", 0u}, {"CO", 0u}})
    EXPECT_EQ(CVRIMApp::SerialPortNumber(text), number) << text;
}

// Also after an earlier link.
TEST_F(AppLinkTest, AMissingSerialPortLeavesNothingConnected) {
  PtyDevice dev(20);
  ASSERT_TRUE(connectSerial(20, false));
  QDir().mkpath(ComPortPath::PortsFolder());
  QFile::link("/nonexistent/com7", ComPortPath::LinkPath(7));
  setLink("SerialPort", QString("COM7:"));
  EXPECT_FALSE(m_app->OnConnectDevice());
  QFile::remove(ComPortPath::LinkPath(7));
  EXPECT_EQ(m_box.texts(), std::vector<QString>{QString("Failed to open serial port COM7:\r\nError: %1").arg(ENOENT)});
  expectNothingConnected();
}

// Both link threads sleep while nothing arrives: no polling of the ring or the port.
TEST_F(AppLinkTest, AnIdleSerialLinkUsesNoCpu) {
  PtyDevice dev(19);
  ASSERT_TRUE(connectSerial(19));
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  QThread::msleep(1000);
  ::getrusage(RUSAGE_SELF, &after);
  const auto us = [](const rusage& u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
  };
  EXPECT_LT(us(after) - us(before), 100000);  // a spinning thread would use the whole second
  EXPECT_TRUE(m_app->DisconnectSerial());
}

// A running connection whose name begins the configured one is adopted and left up; one
// dialled here is hung up; on the local network nothing is dialled.
TEST_F(AppLinkTest, DialUpIsAdoptedDialledOrSkipped) {
  FakeDialUp* dial = makeApp();
  setLan("127.0.0.1", 0, 0);
  setLink("LanConnect", 0);
  dial->active = {{"Office VPN", "u-1"}, {"QX-7700", "u-2"}};
  setLink("ConnectionName", QString("QX-7700-U"));
  ASSERT_TRUE(m_app->ConnectLan());
  EXPECT_TRUE(m_app->IsConnected());
  EXPECT_TRUE(m_app->DisconnectLan());
  EXPECT_EQ(dial->calls, QStringList{"enum"});  // no hang-up
  EXPECT_EQ(m_app->GetControlSocket(), nullptr);

  dial->active.clear();
  dial->calls.clear();
  setLink("ConnectionName", QString("QX-7700"));
  ASSERT_TRUE(m_app->ConnectLan());
  dial->hangUpError = 7;
  EXPECT_FALSE(m_app->DisconnectLan());
  EXPECT_EQ(dial->calls, (QStringList{"enum", "dial QX-7700", "hangup uuid-QX-7700"}));
  EXPECT_EQ(m_box.texts(), std::vector<QString>{"Hang up failed, Error: 7\r\nProbably still connected."});
  EXPECT_FALSE(m_app->IsConnected());

  dial->calls.clear();
  dial->active.clear();
  setLink("LanConnect", 1);
  ASSERT_TRUE(m_app->OnConnectDevice());
  EXPECT_TRUE(m_app->OnDisconnectDevice());
  EXPECT_EQ(dial->calls, QStringList{"enum"});
}

TEST_F(AppLinkTest, FailedDialUpIsShown) {
  FakeDialUp* dial = makeApp();
  dial->enumError = 5;
  dial->dialError = 632;
  EXPECT_FALSE(m_app->OnConnectDevice());
  EXPECT_EQ(m_box.texts(), (std::vector<QString>{"RasEnumConnections failed, Error: 5\r\n",
                                                 "Connect failed, Error: 632\r\nPlease make sure to use the correct "
                                                 "connection and\r\ncheck the connection settings in windows "
                                                 "control panel."}));
  expectNothingConnected();
}

// A held port fails the connect and leaves no sink, so a Start creates no file; a
// repeated connect first lets go of what the failed one left.
TEST_F(AppLinkTest, AHeldPortOrABadAddressFailsTheConnect) {
  makeApp();
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
  const int held = holder.localPort();
  const struct { const char* address; int acquisition, control; QString message; } cases[] = {
      {"127.0.0.1", held, 0, QString("Create aquisition socket failed, Error: %1\r\n").arg(EADDRINUSE)},
      {"127.0.0.1", 0, held, QString("Create control socket failed, Error: %1\r\n").arg(EADDRINUSE)},
      {"not an address", 0, 0, QString("Connect to aquisition socket failed, Error: %1\r\n").arg(EINVAL)},
  };
  for (const auto& c : cases) {
    m_box.clear();
    setLan(c.address, c.acquisition, c.control);
    EXPECT_FALSE(m_app->ConnectLan());
    EXPECT_EQ(m_box.texts(), std::vector<QString>{c.message});
    expectNothingConnected();
  }
}
