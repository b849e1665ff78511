#include <gtest/gtest.h>

#include <QString>
#include <map>

#include "mdb/MdbNames.h"

namespace {

QString command(uint8_t b) {
  QString t = QStringLiteral("held before");
  EXPECT_TRUE(MdbNames::CommandName(b, t));
  return t;
}

// none = no text given; the caller's text stays as it was.
QString response(uint8_t address, uint8_t r) {
  QString t = QStringLiteral("none");
  MdbNames::ResponseName(address, r, t);
  return t;
}

QString sub(uint8_t c, uint8_t s, uint32_t length = 2) {
  const uint8_t msg[2] = {c, s};
  QString t = QStringLiteral("none");
  MdbNames::SubCommandName(msg, length, t);
  return t;
}

TEST(MdbCommandName, EveryAddressAndCommand) {
  struct Row {
    uint8_t address;
    const char* prefix;
    const char* names[8];  // nullptr: the prefix alone
  };
  const Row rows[] = {
      {0x08,
       "CHANGER: ",
       {"Reset", "Setup", "Tube Status", "Poll", "Coin Type", "Dispense", nullptr, "Expansion"}},
      {0x10, "CASHLESS #1: ", {"Reset", "Setup", "Poll", "Vend", "Reader", "Revalue", nullptr, "Expansion"}},
      {0x18, "GATEWAY: ", {"Reset", "Setup", "Poll", "Report", "Control", nullptr, nullptr, "Expansion"}},
      {0x20, "DISPLAY: ", {}},
      {0x28, "ENERGY: ", {}},
      {0x30,
       "VALIDATOR: ",
       {"Reset", "Setup", "Security", "Poll", "Bill Type", "Escrow", "Stacker", "Expansion"}},
      {0x40, "CASHLESS #1: ", {"Reset", "Setup", "Poll", "Vend", "Funds", "Control", nullptr, "Expansion"}},
      {0x48, "CASHLESS #2: ", {"Reset", "Setup", "Poll", "Vend", "Funds", "Control", nullptr, "Expansion"}},
      {0x50, "CASHLESS #3: ", {"Reset", "Setup", "Poll", "Vend", "Funds", "Control", nullptr, "Expansion"}},
      {0x58,
       "HOPPER #1: ",
       {"Reset", "Setup", "Dispenser Status", "Poll", "Manual Dispense Enable", "Dispense", "Payout",
        "Expansion"}},
      {0x60, "CASHLESS #2: ", {"Reset", "Setup", "Poll", "Vend", "Reader", "Revalue", nullptr, "Expansion"}},
      {0x68, "", {"Reset", "Setup", "Poll", "Invalid", "Invalid", "Invalid", "Invalid", "Expansion"}},
      {0x70,
       "HOPPER #2: ",
       {"Reset", "Setup", "Dispenser Status", "Poll", "Manual Dispense Enable", "Dispense", "Payout",
        "Expansion"}},
  };
  std::map<int, QString> expected;
  for (const Row& r : rows)
    for (int c = 0; c < 8; ++c)
      expected[r.address | c] =
          QString::fromLatin1(r.prefix) + QString::fromLatin1(r.names[c] ? r.names[c] : "");
  for (int b = 0; b < 256; ++b) {
    const auto it = expected.find(b);
    const QString want = it != expected.end() ? it->second : QStringLiteral("UNKNOWN: ");
    EXPECT_EQ(command(uint8_t(b)), want) << "byte 0x" << std::hex << b;
  }
}

TEST(MdbCommandName, ExamplesOfTheList) {
  EXPECT_EQ(command(0x0B), "CHANGER: Poll");
  EXPECT_EQ(command(0x38), "UNKNOWN: ");
  EXPECT_EQ(command(0x05), "UNKNOWN: ");
  EXPECT_EQ(command(0x78), "UNKNOWN: ");
  EXPECT_EQ(command(0xFF), "UNKNOWN: ");
  EXPECT_EQ(command(0x0E), "CHANGER: ");
  EXPECT_EQ(command(0x24), "DISPLAY: ");
  EXPECT_EQ(command(0x6A), "Poll");
  EXPECT_EQ(command(0x6B), "Invalid");
}

TEST(MdbResponseName, CashlessReader) {
  const std::map<int, const char*> names = {
      {0x00, "Just Reset"},
      {0x01, "Reader Config Data"},
      {0x02, "Display Request"},
      {0x03, "Begin Session"},
      {0x04, "Session Cancel Request"},
      {0x05, "Vend Approved"},
      {0x06, "Vend Denied"},
      {0x07, "End Session"},
      {0x08, "Cancelled"},
      {0x09, "Peripheral Identification"},
      {0x0A, "Malfunction / Error"},
      {0x0B, "Cmd Out Of Sequence"},
      {0x0D, "Revalue Approved"},
      {0x0E, "Revalue Denied"},
      {0x0F, "Revalue Limit Amount"},
      {0x10, "User File Data"},
      {0x11, "Time / Date Request"},
      {0x12, "Data Entry Request"},
      {0x13, "Data Entry Cancel"},
      {0x1B, "FTL Request to Receive"},
      {0x1C, "FTL Retry / Deny"},
      {0x1D, "FTL Send Block"},
      {0x1E, "FTL OK to Send"},
      {0x1F, "FTL Request to Send"},
      {0xFF, "Diagnostics"},
  };
  for (uint8_t address : {0x12, 0x60, 0x67})
    for (int r = 0; r < 256; ++r) {
      const auto it = names.find(r);
      EXPECT_EQ(response(address, uint8_t(r)), it != names.end() ? it->second : "none")
          << std::hex << int(address) << " " << r;
    }
}

TEST(MdbResponseName, GatewaySatellitesAnd68) {
  const std::map<int, const char*> gateway = {
      {0x00, "Just Reset"},
      {0x01, "Comms Gateway Config"},
      {0x02, "Request Transmit"},
      {0x03, "Data Transmitted"},
      {0x04, "Error"},
      {0x05, "DTS Event Acknowledge"},
      {0x06, "Peripheral Identification"},
      {0x07, "Radio Signal Strength"},
      {0x1B, "FTL Request to Receive"},
      {0x1C, "FTL Retry / Deny"},
      {0x1D, "FTL Send Block"},
      {0x1E, "FTL OK to Send"},
      {0x1F, "FTL Request to Send"},
      {0xFF, "Diagnostics"},
  };
  const std::map<int, const char*> satellite = {
      {0x00, "Just Reset"},
      {0x01, "Vend Request"},
      {0x02, "Vend or Home Success"},
      {0x03, "Vend or Home Fail"},
      {0x04, "Configuration and Setup Data"},
      {0x05, "Item Price Request"},
      {0x06, "Error Codes"},
      {0x07, "Peripheral Identification"},
      {0x08, "Status Response"},
      {0x09, "Multiple Data Block Transfer Response"},
      {0x0A, "Single Data Block Response"},
      {0x1B, "FTL Request to Receive"},
      {0x1C, "FTL Retry / Deny"},
      {0x1D, "FTL Send Block"},
      {0x1E, "FTL OK to Send"},
      {0x1F, "FTL Request to Send"},
      {0xFF, "Diagnostics"},
  };
  const std::map<int, const char*> a68 = {
      {0x00, "Just Reset"},          {0x01, "Reader Config Data"},
      {0x02, "Display Request"},     {0x09, "Peripheral Identification"},
      {0x0A, "Malfunction / Error"}, {0x11, "Time / Date Request"},
  };
  const std::map<int, const char*> ftlOnly = {
      {0x1B, "FTL Request to Receive"}, {0x1C, "FTL Retry / Deny"},    {0x1D, "FTL Send Block"},
      {0x1E, "FTL OK to Send"},         {0x1F, "FTL Request to Send"},
  };
  const std::map<int, const char*> none;
  const std::pair<uint8_t, const std::map<int, const char*>*> cases[] = {
      {0x1A, &gateway}, {0x40, &satellite}, {0x4B, &satellite}, {0x53, &satellite}, {0x6C, &a68},
      {0x0B, &ftlOnly}, {0x33, &ftlOnly},   {0x58, &ftlOnly},   {0x77, &ftlOnly},   {0x20, &none},
      {0x28, &none},    {0x38, &none},      {0x00, &none},      {0x80, &none},      {0xF8, &none},
  };
  for (const auto& [address, table] : cases)
    for (int r = 0; r < 256; ++r) {
      const auto it = table->find(r);
      EXPECT_EQ(response(address, uint8_t(r)), it != table->end() ? it->second : "none")
          << std::hex << int(address) << " " << r;
    }
}

struct SubRow {
  std::vector<uint8_t> commands;
  std::map<int, const char*> names;
  const char* other;  // nullptr: no text
  bool ftl;
};

TEST(MdbSubCommandName, EveryCommandAndSubCommand) {
  const std::vector<SubRow> rows = {
      {{0x0F},
       {{0, "Identification"},
        {1, "Feature Enable"},
        {2, "Payout"},
        {3, "Payout Status"},
        {4, "Payout Value Poll"},
        {5, "Send Diagnostic Status"},
        {6, "Send Controlled Manual Fill Report"},
        {7, "Send Controlled Manual Payout Report"}},
       "Unknown",
       true},
      {{0x11, 0x61}, {{0, "Config Data"}, {1, "Max / Min Prices"}}, "Unknown", false},
      {{0x13, 0x63},
       {{0, "Vend Request"},
        {1, "Vend Cancel"},
        {2, "Vend Success"},
        {3, "Vend Failure"},
        {4, "Session Complete"},
        {5, "Cash Sale"},
        {6, "Negative Vend Request"}},
       "Unknown",
       false},
      {{0x14, 0x64},
       {{0, "Reader Disable"}, {1, "Reader Enable"}, {2, "Reader Cancel"}, {3, "Data Entry Response"}},
       "Unknown",
       false},
      {{0x15, 0x65}, {{0, "Revalue Request"}, {1, "Revalue Limit Request"}}, "Unknown", false},
      {{0x17, 0x67},
       {{0, "Identification"},
        {1, "Read User File"},
        {2, "Write User File"},
        {3, "Write Time / Date"},
        {4, "Feature Enable"}},
       "Unknown",
       true},
      {{0x1B},
       {{1, "Transaction Type 1"},
        {2, "Transaction Type 2"},
        {3, "Transaction Type 3"},
        {4, "Transaction Type 4"},
        {5, "Transaction Type 5"}},
       nullptr,
       false},
      {{0x1C}, {{0, "Disable"}, {1, "Enable"}, {2, "Transmit"}}, nullptr, false},
      {{0x1F, 0x5F, 0x77}, {{0, "Identification"}, {1, "Feature Enable"}}, "Unknown", true},
      {{0x37},
       {{0, "Identification"},
        {1, "Feature Enable"},
        {2, "Identification with Options"},
        {3, "Recycler Setup"},
        {4, "Recycler Enable"},
        {5, "Bill Dispense Status"},
        {6, "Dispense Bill"},
        {7, "Dispense Value"},
        {8, "Payout Status"},
        {9, "Payout Value Poll"},
        {10, "Payout Cancel"}},
       "Unknown",
       true},
      {{0x43, 0x4B, 0x53},
       {{0, "Request Vend Approved"},
        {1, "Request Vend Disapproved"},
        {2, "Vend Specified Item Number"},
        {3, "Home Specified Item Number"},
        {4, "Request Status of Specified Item Number"}},
       "Unknown",
       false},
      {{0x44, 0x4C, 0x54}, {{0, "Funds Credit"}, {1, "Funds Item Price"}}, "Unknown", false},
      {{0x45, 0x4D, 0x55},
       {{0, "Disable Satellite Device"}, {1, "Enable Sattelite Device"}},
       "Unknown",
       false},
      {{0x47, 0x4F, 0x57},
       {{0, "Identification"},
        {1, "Feature Enable"},
        {2, "Number of Data Blocks to Send"},
        {3, "Block Number Transmitting"},
        {4, "Request to Send a Data Block"},
        {5, "Send a Single Data Block"}},
       "Unknown",
       true},
      {{0x5D, 0x75}, {{0, "Dispense Coins"}, {1, "Dispense Value"}}, "Unknown", false},
      {{0x5E, 0x76}, {{0, "Payout Status"}, {1, "Payout Value Poll"}}, "Unknown", false},
      {{0x6D}, {{0, "Config Data"}}, nullptr, false},
      {{0x6F},
       {{0, "Identification"}, {3, "Write Time / Date File"}, {0xFF, "Diagnostics"}},
       "Unknown",
       false},
  };
  const std::map<int, const char*> ftl = {{0xFA, "FTL Request to Receive"}, {0xFB, "FTL Retry / Deny"},
                                          {0xFC, "FTL Send Block"},         {0xFD, "FTL OK to Send"},
                                          {0xFE, "FTL Request to Send"},    {0xFF, "Diagnostics"}};
  std::map<int, const SubRow*> byCommand;
  for (const SubRow& r : rows)
    for (uint8_t c : r.commands) byCommand[c] = &r;
  for (int c = 0; c < 256; ++c) {
    const auto row = byCommand.find(c);
    for (int s = 0; s < 256; ++s) {
      const char* want = "none";
      if (row != byCommand.end()) {
        const SubRow& r = *row->second;
        if (auto n = r.names.find(s); n != r.names.end())
          want = n->second;
        else if (auto f = ftl.find(s); r.ftl && f != ftl.end())
          want = f->second;
        else if (r.other)
          want = r.other;
      }
      ASSERT_EQ(sub(uint8_t(c), uint8_t(s)), want) << std::hex << c << " " << s;
    }
  }
}

TEST(MdbSubCommandName, NeedsTwoKnownBytes) {
  EXPECT_EQ(sub(0x0F, 0x08), "Unknown");
  EXPECT_EQ(sub(0x13, 0x00, 1), "none");
  EXPECT_EQ(sub(0x13, 0x00, 0), "none");
  EXPECT_EQ(sub(0x13, 0x00, 36), "Vend Request");
}

TEST(MdbAckName, Replies) {
  QString t;
  for (int b = 0; b < 256; ++b) {
    EXPECT_TRUE(MdbNames::AckName(uint8_t(b), t));
    const char* want = b == 0x00   ? "ACK - Acknowledge"
                       : b == 0xAA ? "RET - Retransmit"
                       : b == 0xFF ? "NAK - Negative Acknowledge"
                                   : "Invalid";
    EXPECT_EQ(t, want) << b;
  }
}

}  // namespace
