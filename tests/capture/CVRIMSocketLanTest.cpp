#include <gtest/gtest.h>

#include <QHostAddress>
#include <QUdpSocket>
#include <condition_variable>
#include <cstring>

#include "capture/CVRIMSocket.h"
#include "capture/SinkTestSupport.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

// The device's two ports on loopback; sink sockets on ports of their own, connected
// to one of them.
class LanSocketTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_deviceAcq.bind(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(m_deviceCtrl.bind(QHostAddress::LocalHost, 0));
    platform::Profile().WriteProfileInt("PropertyPage2", "PortAquisition", m_deviceAcq.localPort());
    platform::Profile().WriteProfileInt("PropertyPage2", "PortControl", m_deviceCtrl.localPort());
    sinktest::configureRecording(m_profile);
  }

  // A sink socket on a free port (m_port) connected to the device port; what another
  // host sent from the device's port number before, the socket must drop itself.
  template <class Socket = CVRIMSocket>
  std::unique_ptr<Socket> connectTo(QUdpSocket& device, const QByteArray& strangerFirst = {}) {
    QUdpSocket probe;
    EXPECT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    m_port = probe.localPort();
    probe.close();
    auto s = std::make_unique<Socket>(nullptr, &m_notifier);
    EXPECT_TRUE(s->Create(m_port));
    QUdpSocket stranger;
    if (!strangerFirst.isNull() && stranger.bind(QHostAddress("127.0.0.2"), device.localPort()))
      stranger.writeDatagram(strangerFirst, QHostAddress::LocalHost, m_port);
    EXPECT_TRUE(s->Connect("127.0.0.1", device.localPort()));
    return s;
  }
  void send(QUdpSocket& from, const QByteArray& bytes) { from.writeDatagram(bytes, QHostAddress::LocalHost, m_port); }
  static void settle(int ms) { testsupport::waitFor([] { return false; }, ms); }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  sinktest::RecordingNotifier m_notifier;
  QUdpSocket m_deviceAcq;
  QUdpSocket m_deviceCtrl;
  quint16 m_port = 0;
};

// Holds the receive thread at the start of its second turn, before it takes the sink's lock.
struct HeldSocket final : CVRIMSocket {
  using CVRIMSocket::CVRIMSocket;
  void OnReceive(int error) override {
    std::unique_lock lock(mutex);
    if (++turns == 2) {
      cv.notify_all();
      cv.wait(lock, [&] { return released; });
    }
    lock.unlock();
    CVRIMSocket::OnReceive(error);
  }
  std::mutex mutex;
  std::condition_variable cv;
  int turns = 0;
  bool released = false;
};

}  // namespace

// Stored and read once; an empty datagram and a stranger's are dropped, and leave the
// socket working.
TEST_F(LanSocketTest, TheLatestControlReplyIsReadOnceAndRecordsAreStoredAlsoWithEqualPorts) {
  auto ctrl = connectTo(m_deviceCtrl, hex("01 05 01 09 09"));
  send(m_deviceCtrl, QByteArray());
  settle(100);
  uint8_t reply[257];
  EXPECT_FALSE(ctrl->ReadControlReply(reply));

  send(m_deviceCtrl, hex("01 05 01 04 0B"));
  send(m_deviceCtrl, hex("01 05 01 04 0C"));
  settle(300);  // both arrive before anybody reads
  ASSERT_TRUE(ctrl->ReadControlReply(reply));
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(reply), 5), hex("01 05 01 04 0C"));
  std::memset(reply, 0xEE, sizeof reply);
  EXPECT_FALSE(ctrl->ReadControlReply(reply));
  EXPECT_EQ(reply[0], 0xEE) << "untouched";

  // A long reply keeps its first 256 bytes, and nothing is written past them.
  send(m_deviceCtrl, QByteArray(255, 'r') + "xy" + QByteArray(343, 'r'));
  ASSERT_TRUE(testsupport::waitFor([&] { return ctrl->ReadControlReply(reply); }));
  EXPECT_EQ(reply[255], 'x');
  EXPECT_EQ(reply[256], 0xEE);
  EXPECT_EQ(ctrl->Send("x", 1), 1);

  auto acq = connectTo(m_deviceAcq);
  ASSERT_TRUE(acq->OpenAcquisitionFile());
  // Dropped: a datagram from any other port, one larger than the receive buffer, an empty one.
  QUdpSocket stranger;
  ASSERT_TRUE(stranger.bind(QHostAddress::LocalHost, 0));
  stranger.writeDatagram(hex("20 66 E8 03"), QHostAddress::LocalHost, m_port);
  send(m_deviceAcq, hex("00 EE 00").repeated(667));
  send(m_deviceAcq, QByteArray());
  send(m_deviceAcq, hex("00 77 09"));
  ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 1; }));
  EXPECT_EQ(m_notifier.lengths()[0], 24u + 6u);
  EXPECT_FALSE(acq->ReadControlReply(reply));
  const QString path = acq->GetWritingPath();
  acq->CloseAcquisitionFile();
  const auto items = sinktest::itemsInFile(path);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(std::pair(int(items[0].data), items[0].time), std::pair(0x77, 9u));

  // With equal ports one datagram is decoded and stored.
  platform::Profile().WriteProfileInt("PropertyPage2", "PortControl", m_deviceAcq.localPort());
  auto both = connectTo(m_deviceAcq);
  ASSERT_TRUE(both->OpenAcquisitionFile());
  send(m_deviceAcq, hex("00 41 01"));
  ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 2; }));
  ASSERT_TRUE(both->ReadControlReply(reply));
  EXPECT_EQ(reply[1], 0x41);
}

// More than one turn of datagrams waits when Stop comes: Stop writes them all before the file closes.
TEST_F(LanSocketTest, StopWritesWhatStillWaitsForTheReceiveThread) {
  auto acq = connectTo<HeldSocket>(m_deviceAcq);
  ASSERT_TRUE(acq->OpenAcquisitionFile());
  const QString path = acq->GetWritingPath();
  QByteArray sent;
  for (int d = 0; d < 100; ++d) {
    sent += QByteArray(40, char(d));
    send(m_deviceAcq, sinktest::recordsFor(sent.right(40)));
    if (d == 0) {
      ASSERT_TRUE(testsupport::waitFor([&] { return m_notifier.lengths().size() == 1; }));
    }
  }
  std::unique_lock lock(acq->mutex);
  ASSERT_TRUE(acq->cv.wait_for(lock, std::chrono::seconds(5), [&] { return acq->turns == 2; }));
  acq->CloseAcquisitionFile();
  acq->released = true;
  acq->cv.notify_all();
  lock.unlock();
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(path)), sent);
}
