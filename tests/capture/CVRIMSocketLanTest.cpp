#include <gtest/gtest.h>

#include <QHostAddress>
#include <QThread>
#include <QUdpSocket>
#include <cerrno>
#include <cstring>

#include "capture/CVRIMSocket.h"
#include "capture/SinkTestSupport.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

// The device's two ports on loopback, and a sink socket on a port of its own,
// connected to the device's acquisition or control port.
class LanSocketTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_deviceAcq.bind(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(m_deviceCtrl.bind(QHostAddress::LocalHost, 0));
    m_acqPort = m_deviceAcq.localPort();
    m_ctrlPort = m_deviceCtrl.localPort();
    platform::Profile().WriteProfileInt("PropertyPage2", "PortAquisition", m_acqPort);
    platform::Profile().WriteProfileInt("PropertyPage2", "PortControl", m_ctrlPort);
  }

  // A sink socket bound to any free port and connected to the given device port.
  std::unique_ptr<CVRIMSocket> makeSocket(uint16_t devicePort) {
    auto s = std::make_unique<CVRIMSocket>(nullptr, &m_notifier);
    EXPECT_TRUE(s->Create(0));
    EXPECT_TRUE(s->Connect("127.0.0.1", devicePort));
    return s;
  }
  // Sends from a device port to the sink socket's port and lets the loop run.
  void sendTo(QUdpSocket& from, uint16_t port, const QByteArray& bytes) {
    from.writeDatagram(bytes, QHostAddress::LocalHost, port);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  sinktest::RecordingNotifier m_notifier;
  QUdpSocket m_deviceAcq;
  QUdpSocket m_deviceCtrl;
  uint16_t m_acqPort = 0;
  uint16_t m_ctrlPort = 0;
};

// The port a sink socket was bound to, seen by the device when it sends.
uint16_t boundPort(CVRIMSocket& s, QUdpSocket& device) {
  const char probe[] = {0x01, 0x03, 0x01};
  s.Send(probe, 3);
  if (!testsupport::waitFor([&] { return device.hasPendingDatagrams(); })) return 0;
  QHostAddress from;
  quint16 port = 0;
  char buf[16];
  device.readDatagram(buf, sizeof buf, &from, &port);
  return port;
}

}  // namespace

TEST_F(LanSocketTest, TheControlReplyIsStoredAndReadOnce) {
  auto ctrl = makeSocket(m_ctrlPort);
  const uint16_t port = boundPort(*ctrl, m_deviceCtrl);
  ASSERT_NE(port, 0);
  uint8_t reply[256];
  EXPECT_FALSE(ctrl->ReadControlReply(reply));

  sendTo(m_deviceCtrl, port, hex("01 05 01 04 0B"));
  sendTo(m_deviceCtrl, port, hex("01 05 01 04 0C"));
  // Both replies arrive before anybody reads: the second one is handed out, once.
  testsupport::waitFor([] { return false; }, 300);
  std::memset(reply, 0xEE, sizeof reply);
  ASSERT_TRUE(ctrl->ReadControlReply(reply));
  EXPECT_EQ(reply[3], 4);
  EXPECT_EQ(reply[4], 0x0C);
  std::memset(reply, 0xEE, sizeof reply);
  EXPECT_FALSE(ctrl->ReadControlReply(reply));
  EXPECT_EQ(reply[0], 0xEE);  // untouched
}

TEST_F(LanSocketTest, ALongReplyKeepsItsFirst256Bytes) {
  auto ctrl = makeSocket(m_ctrlPort);
  const uint16_t port = boundPort(*ctrl, m_deviceCtrl);
  QByteArray longReply(600, 'r');
  longReply[255] = 'x';
  longReply[256] = 'y';
  sendTo(m_deviceCtrl, port, longReply);
  uint8_t reply[257];
  reply[256] = 0x5A;
  ASSERT_TRUE(testsupport::waitFor([&] { return ctrl->ReadControlReply(reply); }));
  EXPECT_EQ(reply[255], 'x');
  EXPECT_EQ(reply[256], 0x5A);  // nothing written past the field
}

TEST_F(LanSocketTest, RecordsFromTheAcquisitionPortAreDecodedOnlyWhileWriting) {
  sinktest::configureRecording(m_profile);
  auto acq = makeSocket(m_acqPort);
  const uint16_t port = boundPort(*acq, m_deviceAcq);
  ASSERT_NE(port, 0);

  // No file: dropped without decoding (the running time stays).
  sendTo(m_deviceAcq, port, hex("20 55 E8 03"));
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(acq->GetRunningTime(), 0u);

  ASSERT_TRUE(acq->OpenAcquisitionFile());
  sendTo(m_deviceAcq, port, hex("20 55 E8 03 02 AA 0A 83 10 05"));
  ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 1; }));
  EXPECT_EQ(m_notifier.lengths()[0], 24u + 18u);
  EXPECT_EQ(acq->GetRunningTime(), 1015u);

  // A datagram from any other port is dropped.
  QUdpSocket stranger;
  ASSERT_TRUE(stranger.bind(QHostAddress::LocalHost, 0));
  stranger.writeDatagram(hex("20 66 E8 03"), QHostAddress::LocalHost, port);
  // Larger than the receive buffer: lost, and the socket goes on.
  QByteArray big;
  while (big.size() < 2000) big += hex("00 EE 00");
  sendTo(m_deviceAcq, port, big);
  sendTo(m_deviceAcq, port, hex("00 77 09"));
  ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 2; }));
  EXPECT_EQ(m_notifier.lengths()[1], 24u + 24u);
  uint8_t reply[256];
  EXPECT_FALSE(acq->ReadControlReply(reply));
  const QString path = acq->GetWritingPath();
  acq->CloseAcquisitionFile();
  const auto items = sinktest::itemsInFile(path);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[3].data, 0x77);
  EXPECT_EQ(items[3].time, 9u);
}

TEST_F(LanSocketTest, WithEqualPortsOneDatagramIsDecodedAndStored) {
  platform::Profile().WriteProfileInt("PropertyPage2", "PortControl", m_acqPort);
  sinktest::configureRecording(m_profile);
  auto both = makeSocket(m_acqPort);
  const uint16_t port = boundPort(*both, m_deviceAcq);
  ASSERT_TRUE(both->OpenAcquisitionFile());
  sendTo(m_deviceAcq, port, hex("00 41 01"));
  ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 1; }));
  uint8_t reply[256];
  ASSERT_TRUE(both->ReadControlReply(reply));
  EXPECT_EQ(reply[1], 0x41);
  both->CloseAcquisitionFile();
}

TEST_F(LanSocketTest, AnEmptyDatagramClosesTheSocketThatGotIt) {
  auto ctrl = makeSocket(m_ctrlPort);
  const uint16_t port = boundPort(*ctrl, m_deviceCtrl);
  sendTo(m_deviceCtrl, port, QByteArray());
  ASSERT_TRUE(testsupport::waitFor([&] { return !ctrl->IsSocketOpen(); }));
  sendTo(m_deviceCtrl, port, hex("01 05 01 04 0B"));
  testsupport::waitFor([] { return false; }, 200);
  uint8_t reply[256];
  EXPECT_FALSE(ctrl->ReadControlReply(reply));
  EXPECT_EQ(ctrl->Send("x", 1), -1);
}

TEST_F(LanSocketTest, APortHeldElsewhereCannotBeBound) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
  CVRIMSocket s(nullptr, &m_notifier);
  errno = 0;
  EXPECT_FALSE(s.Create(holder.localPort()));
  EXPECT_EQ(errno, EADDRINUSE);
  EXPECT_FALSE(s.IsSocketOpen());
  EXPECT_FALSE(s.Connect("127.0.0.1", 4000));
}
