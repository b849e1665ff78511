#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "capture/CHDLC.h"
#include "capture/HdlcReceiver.h"
#include "support/LinkHelpers.h"
#include "support/PtyDevice.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"

using testsupport::ackFrame;
using testsupport::deviceFrame;
using testsupport::hex;
using testsupport::PtyDevice;

namespace {

// A framed link on a pseudo-terminal published as COM<port>; every test takes its own
// port number, since the tests run in parallel processes.
struct Link {
  explicit Link(uint32_t port) : dev(port) { opened = dev.ok() && link.Open(port, 38400); }
  // The payload of the next frame for channel 1, or a null array.
  QByteArray receive() {
    uint8_t buf[256];
    uint32_t len = 0;
    if (!link.Receive(1, buf, len)) return {};
    EXPECT_EQ(buf[len], 0) << "the payload is handed over NUL-terminated";
    return QByteArray(reinterpret_cast<const char*>(buf), len);
  }
  PtyDevice dev;
  CHDLC link;
  bool opened = false;
};

}  // namespace

TEST(CHDLC, ReceivedFramesAreAcknowledgedOnTheWireAndHandedOver) {
  Link l(22);
  ASSERT_TRUE(l.opened);
  EXPECT_TRUE(l.link.IsConnected());
  EXPECT_EQ(l.link.GetBaudRate(), 38400u);
  // A repeat of the last stored frame (the device missed its acknowledgement) is
  // acknowledged again and stored once.
  for (auto [ns, payload, times] : {std::tuple{0, hex("20 55 E8 03"), 1}, {1, hex("7E 7D"), 1}, {5, hex("01"), 2}}) {
    l.dev.write(deviceFrame(ns, payload).repeated(times));
    EXPECT_EQ(l.dev.read(6 * times).toHex(' '), ackFrame(ns).repeated(times).toHex(' '));
    ASSERT_TRUE(l.link.WaitForFrame(5000));
    EXPECT_EQ(l.receive(), payload);
  }
  EXPECT_EQ(l.link.GetReceiveSequence(), 5);
  // Another channel and an empty frame are acknowledged, then discarded.
  l.dev.write(deviceFrame(0, hex("AA"), 2));
  l.dev.write(deviceFrame(1, {}));
  EXPECT_EQ(l.dev.read(12).size(), 12);
  ASSERT_TRUE(l.link.WaitForFrame(5000));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(l.receive().isNull()) << i;
  // A device that starts its numbering again sends new bytes under the last stored N(S): only a frame that
  // repeats the last one in N(S) and bytes is a resend.
  const std::pair<int, QByteArray> sent[] = {{0, "P1"}, {1, "P2"}, {1, "P2"}, {2, "P3"}, {2, "P4"}, {3, "P5"}};
  QByteArrayList got;
  for (const auto& [ns, payload] : sent) {
    l.dev.write(deviceFrame(ns, payload));
    EXPECT_EQ(l.dev.read(6).toHex(' '), ackFrame(ns).toHex(' '));
  }
  testsupport::waitFor([&] {
    for (QByteArray next; !(next = l.receive()).isNull();) got << next;
    return got.size() >= 5;
  });
  EXPECT_EQ(got, QByteArrayList({"P1", "P2", "P3", "P4", "P5"}));
  l.link.Close();
  EXPECT_FALSE(l.link.IsConnected());
  // After a new Open the first frame is taken even when it repeats the last one stored before.
  ASSERT_TRUE(l.link.Open(22, 38400));
  l.dev.write(deviceFrame(3, "P5"));
  QByteArray again;
  EXPECT_TRUE(testsupport::waitFor([&] { return !(again = l.receive()).isNull(); }));
  EXPECT_EQ(again, "P5");
}

// With 15 frames waiting a further frame is not acknowledged, so the device sends it
// again instead of losing it after an acknowledgement.
TEST(CHDLC, AFullRingWithholdsTheAcknowledgementUntilThereIsRoom) {
  Link l(24);
  ASSERT_TRUE(l.opened);
  for (uint8_t i = 0; i < 15; ++i) l.dev.write(deviceFrame(i & 7, QByteArray(1, char(i))));
  EXPECT_EQ(l.dev.read(15 * 6).size(), 15 * 6);
  l.dev.write(deviceFrame(7, QByteArray(1, char(15))));
  EXPECT_TRUE(l.dev.readFor(300).isEmpty());

  EXPECT_EQ(l.receive(), QByteArray(1, char(0)));
  l.dev.write(deviceFrame(7, QByteArray(1, char(15))));  // the device's resend
  EXPECT_EQ(l.dev.read(6).toHex(' '), ackFrame(7).toHex(' '));
  // The acknowledgement goes out just before the frame enters the ring: the last
  // frame may need a moment.
  for (int i = 1; i <= 15; ++i) {
    QByteArray got;
    testsupport::waitFor([&] { return !(got = l.receive()).isNull(); }, 2000);
    EXPECT_EQ(got, QByteArray(1, char(i))) << i;
  }
}

TEST(CHDLC, SendFrameWaitsForTheAcknowledgementAndWrapsTheSequence) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  if (!testsupport::SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  testsupport::SimProcess device({"--com", "25"});
  ASSERT_TRUE(device.started());
  CHDLC link;
  ASSERT_TRUE(link.Open(25, 38400));
  const uint8_t busLoad[] = {0x04, 0x05, 0x03, 0x10, 0x10};
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(link.SendFrame(1, busLoad, 5, true));
  EXPECT_EQ(link.GetTransmitSequence(), 0);
  EXPECT_EQ(device.count("frame-in ns=0 ch=1 04 05 03 10 10"), 1);

  // No acknowledgement: three attempts of 250 ms, and the sequence number is used up.
  device.control("ack off");
  ASSERT_TRUE(device.waitForLog("control ack off"));
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(link.SendFrame(1, busLoad, 5, true));
  EXPECT_GE(t.elapsed(), 700);
  EXPECT_TRUE(device.waitForLog("frame-in ns=0", 4));
  EXPECT_EQ(device.count("frame-in ns=0"), 4);
  EXPECT_EQ(link.GetTransmitSequence(), 1);
  EXPECT_EQ(device.count(" repeat"), 2);  // logged as resends, carried out once
  EXPECT_EQ(device.count("cmd bus-load"), 9);
  device.control("ack on");
  ASSERT_TRUE(device.waitForLog("control ack on"));
  EXPECT_TRUE(link.SendFrame(1, busLoad, 5, true));
  EXPECT_TRUE(device.waitForLog("frame-in ns=1", 2));
}

TEST(CHDLC, AcknowledgementsFromTheReadThreadNeverSplitAFrame) {
  Link l(27);
  ASSERT_TRUE(l.opened);
  // The device floods data frames (each acknowledged by the read thread) while this
  // thread sends its own: every byte on the wire must parse into whole frames.
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    for (uint8_t ns = 0; !stop; ns = (ns + 1) & 7) {
      l.dev.write(deviceFrame(ns, QByteArray(40, char(0x7E))));
      while (!l.receive().isNull()) {
      }
      QThread::usleep(200);
    }
  });
  const uint8_t payload[] = {0x06, 0x09, 0x80, 0x25, 0x00, 0x00, 0x00, 0x00, 0x06};
  for (int i = 0; i < 50; ++i) l.link.SendFrame(1, payload, sizeof payload, false);
  stop = true;
  flood.join();
  const QByteArray wire = l.dev.readFor(200);
  HdlcReceiver rx;
  int acks = 0;
  for (char c : wire)
    if (rx.OnRxByte(static_cast<uint8_t>(c)) == HdlcReceiver::Result::Ack) ++acks;
  EXPECT_EQ(acks * 2, wire.count(char(0x7E))) << "every flag-delimited frame was good";
  EXPECT_GE(acks, 50);
}
