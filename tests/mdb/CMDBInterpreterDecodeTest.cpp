#include <gtest/gtest.h>

#include <map>
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
  CActiveFile m_file;
  TestView m_view{4};
  CMDBInterpreter m_decoder{m_view, m_file};
};

TEST_F(DecodeTest, Exchanges) {
  const struct {
    std::vector<ItemRecord> items;
    const char* texts;
  } cases[] = {
      {{vmc(0x0B, true), vmc(0x0B), peripheral(0x00, true)}, "CHANGER: Poll|-|ACK - Acknowledge"},
      {{vmc(0x12, true), vmc(0x12), peripheral(0x00), peripheral(0x00, true), vmc(0x00)},
       "CASHLESS #1: Poll|-|Just Reset|CHK Okay|ACK - Acknowledge"},
      // 0x03 + 0x01 + 0xF4 = 0xF8; the retransmission is still named after the POLL it answers.
      {{vmc(0x12, true), vmc(0x12), peripheral(0x03), peripheral(0x01), peripheral(0xF4),
        peripheral(0xF9, true), vmc(0xAA), peripheral(0x03), peripheral(0x01), peripheral(0xF4),
        peripheral(0xF8, true), vmc(0xFF)},
       "CASHLESS #1: Poll|-|Begin Session|-|-|CHK Invalid|RET - Retransmit|Begin Session|-|-|CHK Okay|"
       "NAK - Negative Acknowledge"},
      // Only the byte right after the command is a sub-command.
      {{vmc(0x0F, true), vmc(0x08), vmc(0x17), vmc(0x63, true), vmc(0x04)},
       "CHANGER: Expansion|Unknown|-|CASHLESS #2: Vend|Session Complete"},
      // A peripheral byte without the mode bit outside a response is nothing, also
      // while a sub-command is awaited (which still comes).
      {{peripheral(0x05), peripheral(0x55, true), peripheral(0x05), vmc(0x13, true), peripheral(0x05),
        vmc(0x00)},
       "-|Invalid|-|CASHLESS #1: Vend|-|Vend Request"},
  };
  for (const auto& c : cases) {
    CMDBInterpreter decoder(m_view, m_file);
    EXPECT_EQ(decodeAll(decoder, c.items), c.texts);
  }
}

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

// Every row of the decoding table, from each of the five states: the state after,
// the text and the message length that the row leaves.
TEST_F(DecodeTest, EveryRowFromEveryState) {
  // Bytes that lead a fresh decoder into each state. The message then holds:
  // START nothing known; VMC {12}; REPLY {12 12}; SUBCMD {13}; RESPONSE {03}.
  const std::map<uint32_t, std::vector<ItemRecord>> lead = {
      {MDBSTATE_START, {}},
      {MDBSTATE_VMC, {vmc(0x12, true)}},
      {MDBSTATE_REPLY, {vmc(0x12, true), vmc(0x12), peripheral(0x00, true)}},
      {MDBSTATE_SUBCMD, {vmc(0x13, true)}},
      {MDBSTATE_RESPONSE, {vmc(0x12, true), vmc(0x12), peripheral(0x03)}},
  };
  const struct {
    uint32_t before;
    ItemRecord item;
    uint32_t after;
    const char* text;
    uint32_t length;
  } rows[] = {
      // VMC address byte: a new message, whatever came before.
      {MDBSTATE_START, vmc(0x0B, true), MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_VMC, vmc(0x0B, true), MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_REPLY, vmc(0x0B, true), MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_SUBCMD, vmc(0x0B, true), MDBSTATE_VMC, "CHANGER: Poll", 1},
      {MDBSTATE_RESPONSE, vmc(0x0F, true), MDBSTATE_SUBCMD, "CHANGER: Expansion", 1},
      // VMC byte without the mode bit.
      {MDBSTATE_START, vmc(0x00), MDBSTATE_VMC, "-", MDB_MSG_NONE},
      {MDBSTATE_VMC, vmc(0x00), MDBSTATE_VMC, "-", 2},
      {MDBSTATE_REPLY, vmc(0x00), MDBSTATE_VMC, "-", 3},
      {MDBSTATE_SUBCMD, vmc(0x00), MDBSTATE_VMC, "Vend Request", 2},
      {MDBSTATE_RESPONSE, vmc(0xAA), MDBSTATE_VMC, "RET - Retransmit", 1},
      // Peripheral byte with the mode bit: a one-byte reply, or a response's CHK.
      {MDBSTATE_START, peripheral(0xFF, true), MDBSTATE_REPLY, "NAK - Negative Acknowledge", MDB_MSG_NONE},
      {MDBSTATE_VMC, peripheral(0x00, true), MDBSTATE_REPLY, "ACK - Acknowledge", 1},
      {MDBSTATE_REPLY, peripheral(0x55, true), MDBSTATE_REPLY, "Invalid", 2},
      {MDBSTATE_SUBCMD, peripheral(0xAA, true), MDBSTATE_REPLY, "RET - Retransmit", 1},
      {MDBSTATE_RESPONSE, peripheral(0x03, true), MDBSTATE_RESPONSE, "CHK Okay", 2},
      {MDBSTATE_RESPONSE, peripheral(0x04, true), MDBSTATE_RESPONSE, "CHK Invalid", 2},
      // Peripheral byte without the mode bit: a response starts or goes on.
      {MDBSTATE_START, peripheral(0x05), MDBSTATE_START, "-", MDB_MSG_NONE},
      {MDBSTATE_VMC, peripheral(0x05), MDBSTATE_RESPONSE, "Vend Approved", 1},
      {MDBSTATE_VMC, peripheral(0x0C), MDBSTATE_RESPONSE, "-", 1},
      {MDBSTATE_REPLY, peripheral(0x05), MDBSTATE_REPLY, "-", 2},
      {MDBSTATE_SUBCMD, peripheral(0x05), MDBSTATE_SUBCMD, "-", 1},
      {MDBSTATE_RESPONSE, peripheral(0x05), MDBSTATE_RESPONSE, "-", 2},
  };
  for (const auto& row : rows) {
    CMDBInterpreter decoder(m_view, m_file);
    std::vector<ItemRecord> items = lead.at(row.before);
    items.push_back(row.item);
    const std::string texts = decodeAll(decoder, items);
    const std::string what = "state " + std::to_string(row.before) + " flags " +
                             std::to_string(row.item.flags) + " data " + std::to_string(row.item.data);
    EXPECT_EQ(texts.substr(texts.rfind('|') + 1), row.text) << what;
    EXPECT_EQ(decoder.GetState(), row.after) << what;
    EXPECT_EQ(decoder.GetMessageLength(), row.length) << what;
  }
}

// After which address bytes the next VMC byte is a sub-command (and named): the
// changer's expansion and the cashless reader's setup, vend, reader, revalue and expansion.
TEST_F(DecodeTest, CommandsThatExpectASubCommand) {
  const std::set<int> expecting = {0x0F, 0x11, 0x13, 0x14, 0x15, 0x17, 0x61, 0x63, 0x64, 0x65, 0x67};
  for (int b = 0; b < 256; ++b) {
    QString text;
    const ItemRecord address = vmc(uint8_t(b), true), next = vmc(0x00);
    m_decoder.DecodeItem(0, text, &address);
    EXPECT_EQ(m_decoder.GetState(), expecting.count(b) ? MDBSTATE_SUBCMD : MDBSTATE_VMC) << std::hex << b;
    EXPECT_EQ(m_decoder.DecodeItem(1, text, &next), expecting.count(b) != 0) << std::hex << b;
  }
}

}  // namespace
