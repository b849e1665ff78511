#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

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

namespace {

// Every row of the decoding table, from each of the five states: the state after,
// the text and the message length that the row leaves.
struct RowCase {
  uint32_t before;
  bool fromPeripheral;
  bool mode;
  uint8_t data;
  uint32_t after;
  const char* text;  // nullptr: no text
  uint32_t length;
};

TEST(MdbDecodeRows, EveryRowFromEveryState) {
  // Bytes that lead a fresh decoder into each state. The message then holds:
  // START nothing known; VMC {12}; REPLY {12 12}; SUBCMD {13}; RESPONSE {03}.
  const std::map<uint32_t, std::vector<ItemRecord>> lead = {
      {MDBSTATE_START, {}},
      {MDBSTATE_VMC, {vmc(0x12, true)}},
      {MDBSTATE_REPLY, {vmc(0x12, true), vmc(0x12), peripheral(0x00, true)}},
      {MDBSTATE_SUBCMD, {vmc(0x13, true)}},
      {MDBSTATE_RESPONSE, {vmc(0x12, true), vmc(0x12), peripheral(0x03)}},
  };
  const RowCase rows[] = {
      // VMC address byte: a new message, whatever came before.
      {MDBSTATE_START, false, true, 0x0B, MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_VMC, false, true, 0x0B, MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_REPLY, false, true, 0x0B, MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_SUBCMD, false, true, 0x0B, MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_RESPONSE, false, true, 0x0F, MDBSTATE_SUBCMD, "CHANGER: Expansion", 1},
      // VMC byte without the mode bit.
      {MDBSTATE_START, false, false, 0x00, MDBSTATE_VMC, nullptr, MDB_MSG_NONE},
      {MDBSTATE_VMC, false, false, 0x00, MDBSTATE_VMC, nullptr, 2},
      {MDBSTATE_REPLY, false, false, 0x00, MDBSTATE_VMC, nullptr, 3},
      {MDBSTATE_SUBCMD, false, false, 0x00, MDBSTATE_VMC, "Vend Request", 2},
      {MDBSTATE_RESPONSE, false, false, 0xAA, MDBSTATE_VMC, "RET - Retransmit", 1},
      // Peripheral byte with the mode bit: a one-byte reply, or a response's CHK.
      {MDBSTATE_START, true, true, 0xFF, MDBSTATE_REPLY, "NAK - Negative Acknowledge", MDB_MSG_NONE},
      {MDBSTATE_VMC, true, true, 0x00, MDBSTATE_REPLY, "ACK - Acknowledge", 1},
      {MDBSTATE_REPLY, true, true, 0x55, MDBSTATE_REPLY, "Invalid", 2},
      {MDBSTATE_SUBCMD, true, true, 0xAA, MDBSTATE_REPLY, "RET - Retransmit", 1},
      {MDBSTATE_RESPONSE, true, true, 0x03, MDBSTATE_RESPONSE, "CHK Okay", 2},
      {MDBSTATE_RESPONSE, true, true, 0x04, MDBSTATE_RESPONSE, "CHK Invalid", 2},
      // Peripheral byte without the mode bit: a response starts or goes on.
      {MDBSTATE_START, true, false, 0x05, MDBSTATE_START, nullptr, MDB_MSG_NONE},
      {MDBSTATE_VMC, true, false, 0x05, MDBSTATE_RESPONSE, "Vend Approved", 1},
      {MDBSTATE_VMC, true, false, 0x0C, MDBSTATE_RESPONSE, nullptr, 1},
      {MDBSTATE_REPLY, true, false, 0x05, MDBSTATE_REPLY, nullptr, 2},
      {MDBSTATE_SUBCMD, true, false, 0x05, MDBSTATE_SUBCMD, nullptr, 1},
      {MDBSTATE_RESPONSE, true, false, 0x05, MDBSTATE_RESPONSE, nullptr, 2},
  };
  for (const RowCase& row : rows) {
    CActiveFile file;
    TestView view(1);
    CMDBInterpreter decoder(view, file);
    uint32_t index = 0;
    QString text;
    for (const ItemRecord& r : lead.at(row.before)) decoder.DecodeItem(index++, text, &r);
    ASSERT_EQ(decoder.GetState(), row.before);
    const ItemRecord item = row.fromPeripheral ? peripheral(row.data, row.mode) : vmc(row.data, row.mode);
    text = QStringLiteral("untouched");
    const bool given = decoder.DecodeItem(index, text, &item);
    const std::string what = "state " + std::to_string(row.before) +
                             (row.fromPeripheral ? " peripheral" : " VMC") + (row.mode ? " mode " : " ") +
                             std::to_string(row.data);
    EXPECT_EQ(given, row.text != nullptr) << what;
    EXPECT_EQ(text, row.text ? QString::fromLatin1(row.text) : QStringLiteral("untouched")) << what;
    EXPECT_EQ(decoder.GetState(), row.after) << what;
    EXPECT_EQ(decoder.GetMessageLength(), row.length) << what;
  }
}

// After which address bytes the next VMC byte is a sub-command: the changer's
// expansion and the cashless reader's setup, vend, reader, revalue and expansion.
TEST(MdbDecodeRows, CommandsThatExpectASubCommand) {
  const std::set<int> expecting = {0x0F, 0x11, 0x13, 0x14, 0x15, 0x17, 0x61, 0x63, 0x64, 0x65, 0x67};
  CActiveFile file;
  TestView view(1);
  CMDBInterpreter decoder(view, file);
  for (int b = 0; b < 256; ++b) {
    QString text;
    const ItemRecord r = vmc(uint8_t(b), true);
    decoder.DecodeItem(0, text, &r);
    EXPECT_EQ(decoder.GetState(), expecting.count(b) ? MDBSTATE_SUBCMD : MDBSTATE_VMC) << std::hex << b;
  }
}

}  // namespace
