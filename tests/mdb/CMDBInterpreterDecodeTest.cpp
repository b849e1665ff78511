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

// Recorded bytes come from outside: whatever their order, the message never grows
// past what it keeps and the state stays one of the five.
TEST_F(DecodeTest, ArbitraryTrafficKeepsTheInvariantsAndEveryRowFromEveryStateAndSubCommands) {
  uint32_t seed = 12345;
  auto next = [&] { return uint8_t((seed = seed * 1664525u + 1013904223u) >> 24); };
  for (int i = 0; i < 200000; ++i) {
    const ItemRecord r{next(), next(), 0};
    QString text;
    if (m_decoder.DecodeItem(uint32_t(i), text, &r)) {
      ASSERT_FALSE(text.isEmpty());
      ASSERT_LT(text.size(), 256);
    }
    const uint32_t length = m_decoder.GetMessageLength();
    ASSERT_TRUE(length <= MDB_MSG_MAX || length == MDB_MSG_NONE);
    ASSERT_LE(m_decoder.GetState(), MDBSTATE_RESPONSE);
  }

  // Every row of the decoding table, from each of the five states: the state after,
  // the text and the message length that the row leaves.
  // Bytes that lead a fresh decoder into each state. The message then holds:
  // START nothing known; VMC {12}; REPLY {12 12}; SUBCMD {13}; RESPONSE {03}.
  const std::map<uint32_t, std::vector<ItemRecord>> lead = {
      {MDBSTATE_START, {}}, {MDBSTATE_VMC, {vmc(0x12, true)}}, {MDBSTATE_SUBCMD, {vmc(0x13, true)}},
      {MDBSTATE_REPLY, {vmc(0x12, true), vmc(0x12), peripheral(0x00, true)}},
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
    SCOPED_TRACE(testing::Message() << "state " << row.before << ", item " << int(row.item.flags) << " "
                                    << int(row.item.data));
    EXPECT_EQ(texts.substr(texts.rfind('|') + 1), row.text);
    EXPECT_EQ(decoder.GetState(), row.after);
    EXPECT_EQ(decoder.GetMessageLength(), row.length);
  }
  // After which address bytes the next VMC byte is a sub-command (and named): the
  // changer's expansion and the cashless reader's setup, vend, reader, revalue and expansion.
  const std::set<int> expecting = {0x0F, 0x11, 0x13, 0x14, 0x15, 0x17, 0x61, 0x63, 0x64, 0x65, 0x67};
  for (int b = 0; b < 256; ++b) {
    const std::string texts = decodeAll(m_decoder, {vmc(uint8_t(b), true), vmc(0x00)});
    EXPECT_EQ(texts.back() != '-', expecting.count(b) != 0) << std::hex << b << ": " << texts;
  }
}

}  // namespace
