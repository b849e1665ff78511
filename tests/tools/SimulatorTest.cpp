#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <vector>

#include "capture/CHDLC.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::hex;
using testsupport::SimNetwork;
using testsupport::SimProcess;

namespace {

// Items from device records, as a receiver makes them (whole records only).
QByteArray itemsFromRecords(const QByteArray& records, uint32_t& runningTime) {
  QByteArray items;
  qsizetype p = 0;
  while (p + 3 <= records.size()) {
    const auto flags = static_cast<uint8_t>(records[p]);
    const int n = (flags >> 5) & 3;
    if (p + 3 + n > records.size()) break;
    uint32_t t = 0;
    for (int i = 0; i <= n; ++i) t |= static_cast<uint32_t>(static_cast<uint8_t>(records[p + 2 + i])) << (8 * i);
    runningTime = (flags & 0x02) ? runningTime + t : t;
    items.append(records[p]).append(records[p + 1]);
    for (int i = 0; i < 4; ++i) items.append(static_cast<char>((runningTime >> (8 * i)) & 0xFF));
    p += 3 + n;
  }
  return items;
}

const uint8_t ACQUIRE_ON[] = {0x03, 0x03, 0x01};
const uint8_t ACQUIRE_OFF[] = {0x03, 0x03, 0x00};

// Takes frames from the link until `bytes` item bytes came or the time runs out.
QByteArray receiveItems(CHDLC& link, qsizetype bytes, uint32_t& runningTime, int timeoutMs = 20000) {
  QByteArray items;
  QElapsedTimer t;
  t.start();
  uint8_t buf[256];
  uint32_t len = 0;
  while (items.size() < bytes && t.elapsed() < timeoutMs) {
    if (link.Receive(1, buf, len))
      items += itemsFromRecords(QByteArray(reinterpret_cast<char*>(buf), len), runningTime);
    else
      link.WaitForFrame(100);
  }
  return items;
}

}  // namespace

class SimulatorSerial : public ::testing::Test {
protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  }
  testsupport::RecordingMessageBox m_box;
};

TEST_F(SimulatorSerial, ReportsTheScenarioAfterCmdAcquireAndStopsWhenTold) {
  SimProcess sim({"--com", "41", "--count", "400", "--rate", "4000", "--scenario", "mixed", "--seed", "7"});
  ASSERT_TRUE(sim.started());
  CHDLC link;
  ASSERT_TRUE(link.Open(41, 38400));
  ASSERT_TRUE(link.SendFrame(1, ACQUIRE_ON, 3, true));
  uint32_t runningTime = 0;
  const QByteArray items = receiveItems(link, 400 * 6, runningTime);
  EXPECT_EQ(items.size(), 400 * 6);
  ASSERT_TRUE(sim.waitForLog("acquire-done records=400"));
  EXPECT_EQ(items, sim.items());
  EXPECT_TRUE(link.SendFrame(1, ACQUIRE_OFF, 3, true));
  EXPECT_TRUE(sim.waitForLog("frame-in ns=0 ch=1 03 03 01"));
  EXPECT_TRUE(sim.waitForLog("frame-in ns=1 ch=1 03 03 00"));
  EXPECT_TRUE(sim.waitForLog("cmd acquire 0"));
  link.Close();
}

TEST_F(SimulatorSerial, LogsTheConfigurationCommandsAndLeavesForTheBootLoader) {
  SimProcess sim({"--com", "42"});
  ASSERT_TRUE(sim.started());
  CHDLC link;
  ASSERT_TRUE(link.Open(42, 38400));
  const QByteArray load = hex("04 05 03 10 10");
  const QByteArray line = hex("06 09 80 25 00 00 00 00 06");
  ASSERT_TRUE(link.SendFrame(1, reinterpret_cast<const uint8_t*>(load.constData()), 5, true));
  ASSERT_TRUE(link.SendFrame(1, reinterpret_cast<const uint8_t*>(line.constData()), 9, true));
  EXPECT_TRUE(sim.waitForLog("cmd bus-load load=3 master=16 slave=16"));
  EXPECT_TRUE(sim.waitForLog("cmd line-settings baud=9600 stop=0 parity=0 data=6"));
  const uint8_t boot[] = {0x05, 0x03, 0x03};
  ASSERT_TRUE(link.SendFrame(1, boot, 3, true));
  EXPECT_TRUE(sim.waitForLog("boot-loader"));
  // The firmware is gone: nothing acknowledges frames any more.
  EXPECT_FALSE(link.SendFrame(1, ACQUIRE_ON, 3, true));
  link.Close();
}

TEST_F(SimulatorSerial, WithoutAcknowledgementsSendFrameFailsAfterThreeAttempts) {
  SimProcess sim({"--com", "43", "--no-ack"});
  ASSERT_TRUE(sim.started());
  CHDLC link;
  ASSERT_TRUE(link.Open(43, 38400));
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(link.SendFrame(1, ACQUIRE_ON, 3, true));
  EXPECT_GE(t.elapsed(), 700);
  EXPECT_TRUE(sim.waitForLog("frame-in ns=0 ch=1 03 03 01", 3));
  EXPECT_EQ(sim.count("ack-out"), 0);
  // The resends of one frame are carried out once.
  EXPECT_EQ(sim.count(" repeat"), 2);
  EXPECT_EQ(sim.count("cmd acquire 1"), 1);
  // Switched on again at run time, the next frame (N(S) 1) gets through.
  sim.control("ack on");
  ASSERT_TRUE(sim.waitForLog("control ack on"));
  EXPECT_TRUE(link.SendFrame(1, ACQUIRE_OFF, 3, true));
  EXPECT_TRUE(sim.waitForLog("frame-in ns=1 ch=1 03 03 00"));
  link.Close();
}

TEST_F(SimulatorSerial, ResendsItsFramesUntilAcknowledgedAndSurvivesGarbage) {
  SimProcess sim({"--com", "44", "--count", "200", "--rate", "4000", "--garbage", "9", "--acquire"});
  ASSERT_TRUE(sim.started());
  // Nobody listens yet: the first frame goes out again and again.
  ASSERT_TRUE(sim.waitForLog("attempt=3"));
  CHDLC link;
  ASSERT_TRUE(link.Open(44, 38400));
  // The copies of the first frame that waited in the terminal all arrive (the link
  // has no duplicate test); after them come exactly the device's records.
  QByteArray items;
  uint32_t runningTime = 0;
  QElapsedTimer t;
  t.start();
  uint8_t buf[256];
  uint32_t len = 0;
  while (t.elapsed() < 20000 && !(sim.count("acquire-done") && items.endsWith(sim.items()))) {
    if (link.Receive(1, buf, len))
      items += itemsFromRecords(QByteArray(reinterpret_cast<char*>(buf), len), runningTime);
    else
      link.WaitForFrame(100);
  }
  EXPECT_TRUE(sim.waitForLog("acquire-done records=200"));
  EXPECT_TRUE(items.endsWith(sim.items()));
  EXPECT_EQ(sim.items().size(), 200 * 6);
  link.Close();
}

TEST(SimulatorScenario, CoversTheRecordForms) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  SimProcess sim({"--com", "45", "--count", "3000", "--rate", "100000", "--acquire", "--silent", "--scenario", "mixed",
                  "--start-time", "4294900000"});
  ASSERT_TRUE(sim.started());
  // Silent: records are made (and recorded as items) but nothing is sent.
  ASSERT_TRUE(sim.waitForLog("acquire-done records=3000"));
  const QByteArray items = sim.items();
  ASSERT_EQ(items.size(), 3000 * 6);
  int delta = 0, absolute = 0, mode = 0, fromPeripheral = 0, f = 0, o = 0, par = 0, longTime = 0;
  uint32_t previous = 0;
  bool wrapped = false;
  for (qsizetype i = 0; i < items.size(); i += 6) {
    const auto flags = static_cast<uint8_t>(items[i]);
    (flags & 0x02 ? delta : absolute)++;
    if (flags & 0x01) ++mode;
    if (flags & 0x80) ++fromPeripheral;
    if (flags & 0x10) ++f;
    if (flags & 0x08) ++o;
    if (flags & 0x04) ++par;
    if (((flags >> 5) & 3) == 3) ++longTime;
    uint32_t t = 0;
    for (int k = 0; k < 4; ++k) t |= static_cast<uint32_t>(static_cast<uint8_t>(items[i + 2 + k])) << (8 * k);
    if (i > 0 && t < previous) wrapped = true;
    previous = t;
  }
  EXPECT_GT(delta, 0);
  EXPECT_GT(absolute, 1);
  EXPECT_GT(mode, 0);
  EXPECT_GT(fromPeripheral, 0);
  EXPECT_GT(f, 0);
  EXPECT_GT(o, 0);
  EXPECT_GT(par, 0);
  EXPECT_GT(longTime, 0);
  EXPECT_TRUE(wrapped);  // the device clock passed 2^32
}

TEST(SimulatorScenario, UnknownScenarioIsRefused) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  SimProcess sim({"--com", "46", "--scenario", "nonesuch"});
  EXPECT_FALSE(sim.started());
}

TEST(SimulatorLan, AnswersTheVersionQueryFromItsControlPort) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  if (!SimNetwork::possible()) GTEST_SKIP() << "needs root for a network namespace";
  const SimNetwork net = SimNetwork::forThisProcess();
  QStringList args = net.simArgs();
  args << "--version" << "5.7";
  SimProcess sim(args);
  ASSERT_TRUE(sim.started());
  QUdpSocket control;
  ASSERT_TRUE(control.bind(QHostAddress::AnyIPv4, net.controlPort, QAbstractSocket::DontShareAddress));
  control.writeDatagram(hex("01 03 01"), QHostAddress(net.deviceAddr), net.controlPort);
  ASSERT_TRUE(testsupport::waitFor([&] { return control.hasPendingDatagrams(); }));
  const QNetworkDatagram reply = control.receiveDatagram();
  EXPECT_EQ(reply.senderPort(), net.controlPort);
  ASSERT_GE(reply.data().size(), 5);
  EXPECT_EQ(reply.data().at(3), 5);
  EXPECT_EQ(reply.data().at(4), 7);
  EXPECT_TRUE(sim.waitForLog("cmd version 1"));
}
