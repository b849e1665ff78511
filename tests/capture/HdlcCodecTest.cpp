#include <gtest/gtest.h>

#include <QByteArray>
#include <vector>

#include "capture/HdlcEncoder.h"
#include "capture/HdlcFcs.h"
#include "capture/HdlcReceiver.h"
#include "capture/HdlcRing.h"
#include "support/TestSupport.h"

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

QByteArray bytes(std::initializer_list<uint8_t> b) {
  QByteArray out;
  for (uint8_t v : b) out.append(static_cast<char>(v));
  return out;
}

QByteArray dataHead(uint8_t ns, uint8_t channel = 1) {
  return bytes({0xBD, HdlcEncoder::DataControl(ns), channel});
}

struct Fed {
  std::vector<HdlcReceiver::Result> results;
  std::vector<QByteArray> frames;  // content of each good data frame, FCS included
};

Fed feed(HdlcReceiver& rx, const QByteArray& wire) {
  Fed f;
  for (char c : wire) {
    const auto r = rx.OnRxByte(static_cast<uint8_t>(c));
    if (r == HdlcReceiver::Result::None) continue;
    f.results.push_back(r);
    if (r == HdlcReceiver::Result::Frame)
      f.frames.emplace_back(reinterpret_cast<const char*>(rx.Frame()), static_cast<qsizetype>(rx.FrameLength()));
  }
  return f;
}

}  // namespace

TEST(HdlcFcs, KnownValuesAndGoodResidue) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(HdlcFcs::Compute(check, sizeof check), 0x906E);  // CRC-16/X.25 check value
  const uint8_t frame[] = {0xBD, 0x00, 0x01, 0x03, 0x03, 0x01, 0x1C, 0xC8};
  EXPECT_EQ(HdlcFcs::Run(HdlcFcs::INIT, frame, sizeof frame), HdlcFcs::GOOD);
}

// The wire examples, byte for byte.
TEST(HdlcEncoder, WireExamples) {
  struct Case {
    const char* name;
    QByteArray head;
    QByteArray payload;
    QByteArray wire;
  } cases[] = {
      {"ack N(R)=0", bytes({0xBD, HdlcEncoder::AckControl(0)}), {}, hex("7E BD 01 D8 94 7E")},
      {"data N(S)=0 03 03 01", dataHead(0), hex("03 03 01"), hex("7E BD 00 01 03 03 01 1C C8 7E")},
      {"data N(S)=1 7E 7D", dataHead(1), hex("7E 7D"), hex("7E BD 02 01 7D 5E 7D 5D 9B 4C 7E")},
  };
  for (const Case& c : cases) EXPECT_EQ(encode(c.head, c.payload).toHex(' '), c.wire.toHex(' ')) << c.name;
  EXPECT_EQ(HdlcEncoder::AckControl(5), 0xA1);
  EXPECT_EQ(HdlcEncoder::DataControl(7), 0x0E);
}

TEST(HdlcEncoder, AFrameThatWouldNotFitIsNotBuilt) {
  // 250 bytes of 0x7E double to 500 on the wire.
  EXPECT_TRUE(encode(dataHead(0), QByteArray(250, char(0x7E))).isEmpty());
  // flag, 3 head bytes, payload, 2 FCS bytes (this FCS needs no escape), flag
  EXPECT_EQ(encode(dataHead(0), QByteArray(248, 'a')).size(), 255);
  EXPECT_TRUE(encode(dataHead(0), QByteArray(250, 'a')).isEmpty());
}

TEST(HdlcReceiver, TakesTheWireExamples) {
  HdlcReceiver rx;
  Fed f = feed(rx, hex("7E BD 01 D8 94 7E"));
  ASSERT_EQ(f.results.size(), 1u);
  EXPECT_EQ(f.results[0], HdlcReceiver::Result::Ack);

  f = feed(rx, hex("7E BD 02 01 7D 5E 7D 5D 9B 4C 7E"));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0], hex("BD 02 01 7E 7D 9B 4C"));
  EXPECT_EQ(rx.GetState(), HdlcReceiver::HUNT);
}

TEST(HdlcReceiver, AnyAckControlIsAnAck) {
  HdlcReceiver rx;
  for (uint8_t nr = 0; nr < 8; ++nr) {
    const Fed f = feed(rx, encode(bytes({0xBD, HdlcEncoder::AckControl(nr)}), {}));
    ASSERT_EQ(f.results.size(), 1u) << int(nr);
    EXPECT_EQ(f.results[0], HdlcReceiver::Result::Ack);
  }
}

TEST(HdlcReceiver, DropsWhatIsNotAGoodFrame) {
  HdlcReceiver rx;
  QByteArray bad = encode(dataHead(0), hex("03 03 01"));
  bad[4] = 0x04;  // payload changed, FCS not
  EXPECT_TRUE(feed(rx, bad).results.empty());

  QByteArray wrongAddress = encode(bytes({0xBC, 0, 1}), hex("03 03 01"));
  EXPECT_TRUE(feed(rx, wrongAddress).results.empty());

  // Garbage between frames is skipped; the next frame still comes through.
  const Fed f = feed(rx, hex("00 FF 7D 12 BD 55") + encode(dataHead(3), hex("AA")) + hex("13 37"));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].mid(1, 3), hex("06 01 AA"));
}

TEST(HdlcReceiver, ASharedFlagBetweenTwoFramesPassesOnlyTheFirst) {
  HdlcReceiver rx;
  const QByteArray a = encode(dataHead(0), hex("11"));
  const QByteArray b = encode(dataHead(1), hex("22"));
  const Fed f = feed(rx, a + b.mid(1));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].at(3), 0x11);
}

TEST(HdlcReceiver, TwoHundredFiftyFiveBytesPassTwoHundredFiftySixAreAbandoned) {
  HdlcReceiver rx;
  Fed f = feed(rx, encode(dataHead(0), QByteArray(250, 'x'), 1024));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].size(), 255);
  f = feed(rx, encode(dataHead(0), QByteArray(251, 'x'), 1024));
  EXPECT_TRUE(f.results.empty());
  // Abandoned in the middle: the rest of the long frame is hunted over, and a
  // following frame with its own flag is taken.
  f = feed(rx, encode(dataHead(0), QByteArray(251, 'x'), 1024) + encode(dataHead(1), hex("01")));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].size(), 6);
}

TEST(HdlcReceiver, AnAbortedFrameDoesNotChangeTheNextOne) {
  HdlcReceiver rx;
  // 7D right before the flag: an aborted frame.
  const Fed f = feed(rx, hex("7E BD 00 01 55 7D 7E") + encode(dataHead(2), hex("66")));
  ASSERT_EQ(f.frames.size(), 1u);
  EXPECT_EQ(f.frames[0].mid(1, 3), hex("04 01 66"));
}

TEST(HdlcRing, HoldsFifteenFramesInOrder) {
  HdlcRing ring;
  EXPECT_TRUE(ring.IsEmpty());
  for (uint8_t i = 0; i < 15; ++i) {
    const uint8_t frame[2] = {i, static_cast<uint8_t>(i * 2)};
    EXPECT_TRUE(ring.Put(frame, 2));
  }
  EXPECT_TRUE(ring.IsFull());
  const uint8_t extra[1] = {99};
  EXPECT_FALSE(ring.Put(extra, 1));
  uint8_t out[HdlcRing::SLOT_SIZE];
  uint32_t len = 0;
  for (uint8_t i = 0; i < 15; ++i) {
    ASSERT_TRUE(ring.Take(out, len));
    EXPECT_EQ(len, 2u);
    EXPECT_EQ(out[0], i);
  }
  EXPECT_FALSE(ring.Take(out, len));
  EXPECT_FALSE(ring.Put(out, HdlcRing::SLOT_SIZE + 1));
}

TEST(HdlcRing, AWakeBeforeTheWaitIsNotLost) {
  HdlcRing ring;
  ring.Wake();
  EXPECT_FALSE(ring.Wait(60000));  // returns at once, nothing waits
}
