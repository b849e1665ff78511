#include <gtest/gtest.h>

#include "capture/HdlcEncoder.h"
#include "capture/HdlcFcs.h"
#include "capture/HdlcReceiver.h"
#include "capture/HdlcRing.h"
#include "support/LinkHelpers.h"
#include "support/TestSupport.h"

using testsupport::ackFrame;
using testsupport::deviceFrame;
using testsupport::hex;

namespace {

QByteArray encode(const QByteArray& head, const QByteArray& payload, uint32_t capacity = 256) {
  uint8_t out[1024];
  const uint32_t n = HdlcEncoder::Encode(out, capacity, reinterpret_cast<const uint8_t*>(head.constData()),
                                         static_cast<uint32_t>(head.size()),
                                         reinterpret_cast<const uint8_t*>(payload.constData()),
                                         static_cast<uint32_t>(payload.size()));
  return QByteArray(reinterpret_cast<const char*>(out), n);
}

QByteArray dataHead(uint8_t ns) { return QByteArray("\xBD") + char(HdlcEncoder::DataControl(ns)) + '\x01'; }

// What the receiver made of the bytes: "ack" per acknowledgement and the hex of every
// good data frame (FCS included), in order.
QStringList feed(const QByteArray& wire) {
  HdlcReceiver rx;
  QStringList out;
  for (char c : wire) {
    const auto r = rx.OnRxByte(static_cast<uint8_t>(c));
    if (r == HdlcReceiver::Result::Ack) out << "ack";
    if (r == HdlcReceiver::Result::Frame)
      out << QByteArray(reinterpret_cast<const char*>(rx.Frame()), rx.FrameLength()).toHex(' ').toUpper();
  }
  return out;
}

// The content of a good data frame as the receiver hands it over, FCS included.
QString good(uint8_t ns, const QByteArray& payload) {
  QByteArray f = dataHead(ns) + payload;
  const uint16_t fcs = HdlcFcs::Compute(reinterpret_cast<const uint8_t*>(f.constData()), f.size());
  return (f + char(fcs & 0xFF) + char(fcs >> 8)).toHex(' ').toUpper();
}

}  // namespace

TEST(HdlcEncoder, WireExamplesFramesThatWouldNotFitAndGoodFramesOnlyReceived) {
  EXPECT_EQ(ackFrame(0).toHex(' '), "7e bd 01 d8 94 7e");
  EXPECT_EQ(encode(dataHead(0), hex("03 03 01")).toHex(' '), "7e bd 00 01 03 03 01 1c c8 7e");
  EXPECT_EQ(encode(dataHead(1), hex("7E 7D")).toHex(' '), "7e bd 02 01 7d 5e 7d 5d 9b 4c 7e");
  EXPECT_EQ(HdlcEncoder::AckControl(5), 0xA1);
  EXPECT_EQ(HdlcEncoder::DataControl(7), 0x0E);
  // flag, 3 head bytes, payload, 2 FCS bytes (this FCS needs no escape), flag
  EXPECT_EQ(encode(dataHead(0), QByteArray(248, 'a')).size(), 255);
  EXPECT_TRUE(encode(dataHead(0), QByteArray(250, 'a')).isEmpty());
  EXPECT_TRUE(encode(dataHead(0), QByteArray(250, char(0x7E))).isEmpty()) << "escaped to 500 bytes";

  QByteArray badFcs = deviceFrame(0, hex("03 03 01"));
  badFcs[4] = 0x04;
  QByteArray anyAck;
  for (uint8_t nr = 0; nr < 8; ++nr) anyAck += ackFrame(nr);

  const struct {
    const char* what;
    QByteArray wire;
    QStringList expected;
  } cases[] = {
      {"ack example", hex("7E BD 01 D8 94 7E"), {"ack"}},
      {"escaped data example", hex("7E BD 02 01 7D 5E 7D 5D 9B 4C 7E"), {"BD 02 01 7E 7D 9B 4C"}},
      {"ack with any N(R)", anyAck, QStringList(8, "ack")},
      {"bad FCS", badFcs, {}},
      {"wrong address", encode(hex("BC 00 01"), hex("03 03 01")), {}},
      {"garbage between frames", hex("00 FF 7D 12 BD 55") + deviceFrame(3, hex("AA")) + hex("13 37"), {good(3, hex("AA"))}},
      {"shared flag passes only the first", deviceFrame(0, hex("11")) + deviceFrame(1, hex("22")).mid(1),
       {good(0, hex("11"))}},
      {"255 bytes pass", deviceFrame(0, QByteArray(250, 'x')), {good(0, QByteArray(250, 'x'))}},
      {"256 bytes are abandoned, the next flag resynchronises",
       deviceFrame(0, QByteArray(251, 'x')) + deviceFrame(1, hex("01")), {good(1, hex("01"))}},
      {"7D before the flag aborts a frame", hex("7E BD 00 01 55 7D 7E") + deviceFrame(2, hex("66")),
       {good(2, hex("66"))}},
  };
  for (const auto& c : cases) EXPECT_EQ(feed(c.wire), c.expected) << c.what;

  // The ring's capacity and order are exercised through the link (CHDLC full-ring test); here the edges that
  // a link cannot produce: an oversize frame, and a wake before anybody waits.
  HdlcRing ring;
  uint8_t out[HdlcRing::SLOT_SIZE + 1] = {};
  uint32_t len = 0;
  EXPECT_FALSE(ring.Put(out, HdlcRing::SLOT_SIZE + 1) || ring.Take(out, len));
  ring.Wake();
  EXPECT_FALSE(ring.Wait(60000));  // returns at once, nothing waits
}
