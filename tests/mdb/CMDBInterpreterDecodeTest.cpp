#include <gtest/gtest.h>

#include <optional>

#include "capture/CActiveFile.h"
#include "mdb/CMDBInterpreter.h"
#include "tests/mdb/MdbTestView.h"

using namespace mdbtest;

namespace {

// Decoding with the record given: no file, no posts; the state machine alone.
class DecodeTest : public ::testing::Test {
 protected:
  // The text the item gets, or nullopt when it gets none.
  std::optional<QString> decode(const ItemRecord& r) {
    QString text = QStringLiteral("untouched");
    if (!m_decoder.DecodeItem(m_index++, text, &r)) {
      EXPECT_EQ(text, "untouched");
      return std::nullopt;
    }
    return text;
  }
  uint32_t state() const { return m_decoder.GetState(); }

  CActiveFile m_file;
  TestView m_view{4};
  CMDBInterpreter m_decoder{m_view, m_file};
  uint32_t m_index = 0;
};

TEST_F(DecodeTest, ChangerPollAnsweredWithAck) {
  EXPECT_EQ(state(), MDBSTATE_START);
  EXPECT_EQ(decode(vmc(0x0B, true)), "CHANGER: Poll");
  EXPECT_EQ(state(), MDBSTATE_VMC);
  EXPECT_EQ(decode(vmc(0x0B)), std::nullopt);  // its CHK: the verdict comes with the answer
  EXPECT_EQ(decode(peripheral(0x00, true)), "ACK - Acknowledge");
  EXPECT_EQ(state(), MDBSTATE_REPLY);
}

TEST_F(DecodeTest, CashlessJustResetAndVmcAck) {
  decode(vmc(0x12, true));
  decode(vmc(0x12));
  EXPECT_EQ(decode(peripheral(0x00)), "Just Reset");
  EXPECT_EQ(state(), MDBSTATE_RESPONSE);
  EXPECT_EQ(decode(peripheral(0x00, true)), "CHK Okay");
  EXPECT_EQ(state(), MDBSTATE_RESPONSE);  // until the VMC replies
  EXPECT_EQ(decode(vmc(0x00)), "ACK - Acknowledge");
  EXPECT_EQ(state(), MDBSTATE_VMC);
}

TEST_F(DecodeTest, ResponseChecksumVerdicts) {
  decode(vmc(0x12, true));
  decode(vmc(0x12));
  EXPECT_EQ(decode(peripheral(0x03)), "Begin Session");
  EXPECT_EQ(decode(peripheral(0x01)), std::nullopt);
  EXPECT_EQ(decode(peripheral(0xF4)), std::nullopt);
  EXPECT_EQ(decode(peripheral(0xF9, true)), "CHK Invalid");  // 0x03 + 0x01 + 0xF4 = 0xF8
  EXPECT_EQ(decode(vmc(0xAA)), "RET - Retransmit");
  // The retransmission is still named after the POLL it answers.
  EXPECT_EQ(decode(peripheral(0x03)), "Begin Session");
  decode(peripheral(0x01));
  decode(peripheral(0xF4));
  EXPECT_EQ(decode(peripheral(0xF8, true)), "CHK Okay");
  EXPECT_EQ(decode(vmc(0xFF)), "NAK - Negative Acknowledge");
}

TEST_F(DecodeTest, SubCommands) {
  EXPECT_EQ(decode(vmc(0x0F, true)), "CHANGER: Expansion");
  EXPECT_EQ(state(), MDBSTATE_SUBCMD);
  EXPECT_EQ(decode(vmc(0x08)), "Unknown");
  EXPECT_EQ(state(), MDBSTATE_VMC);
  EXPECT_EQ(decode(vmc(0x17)), std::nullopt);  // only the byte after the command is a sub-command

  EXPECT_EQ(decode(vmc(0x63, true)), "CASHLESS #2: Vend");
  EXPECT_EQ(decode(vmc(0x04)), "Session Complete");

  for (uint8_t command : {0x1B, 0x37, 0x12, 0x47}) {
    decode(vmc(command, true));
    EXPECT_EQ(state(), MDBSTATE_VMC) << int(command);
    EXPECT_EQ(decode(vmc(0x00)), std::nullopt) << int(command);
  }
}

TEST_F(DecodeTest, PeripheralBytesOutsideAnExchange) {
  // Before anything was decoded, and after a one-byte reply, a peripheral byte
  // without the mode bit is nothing.
  EXPECT_EQ(decode(peripheral(0x05)), std::nullopt);
  EXPECT_EQ(state(), MDBSTATE_START);
  EXPECT_EQ(decode(peripheral(0x55, true)), "Invalid");
  EXPECT_EQ(state(), MDBSTATE_REPLY);
  EXPECT_EQ(decode(peripheral(0x05)), std::nullopt);
  EXPECT_EQ(state(), MDBSTATE_REPLY);
  decode(vmc(0x13, true));
  EXPECT_EQ(decode(peripheral(0x05)), std::nullopt);
  EXPECT_EQ(state(), MDBSTATE_SUBCMD);
  EXPECT_EQ(decode(vmc(0x00)), "Vend Request");  // the sub-command still comes
}

TEST_F(DecodeTest, ResponseToAddressWithoutNamesGivesNone) {
  decode(vmc(0x23, true));
  decode(vmc(0x23));
  EXPECT_EQ(decode(peripheral(0x00)), std::nullopt);
  EXPECT_EQ(state(), MDBSTATE_RESPONSE);
  EXPECT_EQ(decode(peripheral(0x00, true)), "CHK Okay");
}

TEST_F(DecodeTest, OverlongMessagesKeep36Bytes) {
  // A VMC message of 42 bytes: the address byte and 41 more.
  decode(vmc(0x17, true));
  for (int i = 0; i < 41; ++i) decode(vmc(uint8_t(i)));
  EXPECT_EQ(m_decoder.GetMessageLength(), MDB_MSG_MAX);
  EXPECT_EQ(state(), MDBSTATE_VMC);

  // A response of 41 bytes whose 36th byte happens to be the sum of the 35 before:
  // the verdict is taken over what was kept, so it reads "CHK Okay" although the
  // real CHK byte (not kept) is wrong.
  std::vector<uint8_t> bytes;
  uint8_t sum = 0;
  for (int i = 0; i < 35; ++i) {
    bytes.push_back(uint8_t(i + 1));
    sum = uint8_t(sum + i + 1);
  }
  bytes.push_back(sum);
  for (int i = 0; i < 4; ++i) bytes.push_back(0x77);
  EXPECT_EQ(decode(peripheral(bytes[0])), "Reader Config Data");
  for (size_t i = 1; i < bytes.size(); ++i) EXPECT_EQ(decode(peripheral(bytes[i])), std::nullopt);
  EXPECT_EQ(decode(peripheral(0x00, true)), "CHK Okay");
  EXPECT_EQ(m_decoder.GetMessageLength(), MDB_MSG_MAX);
  EXPECT_EQ(decode(vmc(0x00)), "ACK - Acknowledge");
}

}  // namespace

namespace {

// Recorded bytes come from outside: whatever their order, the message never grows
// past what it keeps and the state stays one of the five.
TEST_F(DecodeTest, ArbitraryTrafficKeepsTheInvariants) {
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return uint8_t(seed >> 24);
  };
  for (int i = 0; i < 200000; ++i) {
    ItemRecord r;
    r.flags = next();
    r.data = next();
    QString text;
    if (m_decoder.DecodeItem(uint32_t(i), text, &r)) {
      ASSERT_FALSE(text.isEmpty());
      ASSERT_LT(text.size(), 256);
    }
    const uint32_t length = m_decoder.GetMessageLength();
    ASSERT_TRUE(length <= MDB_MSG_MAX || length == MDB_MSG_NONE);
    ASSERT_LE(m_decoder.GetState(), MDBSTATE_RESPONSE);
  }
}

}  // namespace
