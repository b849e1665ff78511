#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "mdb/MdbNames.h"

// The name tables are written out here on their own, not taken from the code, so
// that a slip in the code's tables shows.

namespace {

using Names = std::map<int, QString>;

// Adds the names of consecutive codes from `first`, '|'-separated; an empty field
// is a code without a name.
Names run(int first, const char* names, Names into = {}) {
  const QStringList list = QString::fromLatin1(names).split('|');
  for (int i = 0; i < list.size(); ++i)
    if (!list[i].isEmpty()) into[first + i] = list[i];
  return into;
}

const char* const FTL =
    "FTL Request to Receive|FTL Retry / Deny|FTL Send Block|FTL OK to Send|FTL Request to Send";

// The file transfer names at `first`, then "Diagnostics" at 0xFF.
Names withFtl(int first, Names names) {
  names = run(first, FTL, names);
  names[0xFF] = QStringLiteral("Diagnostics");
  return names;
}

TEST(MdbNames, CommandOfEveryByte) {
  // Address, then the prefix and the eight commands; an empty command is the prefix alone.
  const std::pair<int, const char*> groups[] = {
      {0x08, "CHANGER: |Reset|Setup|Tube Status|Poll|Coin Type|Dispense||Expansion"},
      {0x10, "CASHLESS #1: |Reset|Setup|Poll|Vend|Reader|Revalue||Expansion"},
      {0x18, "GATEWAY: |Reset|Setup|Poll|Report|Control|||Expansion"},
      {0x20, "DISPLAY: "}, {0x28, "ENERGY: "},
      {0x30, "VALIDATOR: |Reset|Setup|Security|Poll|Bill Type|Escrow|Stacker|Expansion"},
      {0x40, "CASHLESS #1: |Reset|Setup|Poll|Vend|Funds|Control||Expansion"},
      {0x48, "CASHLESS #2: |Reset|Setup|Poll|Vend|Funds|Control||Expansion"},
      {0x50, "CASHLESS #3: |Reset|Setup|Poll|Vend|Funds|Control||Expansion"},
      {0x58,
       "HOPPER #1: |Reset|Setup|Dispenser Status|Poll|Manual Dispense Enable|Dispense|Payout|Expansion"},
      {0x60, "CASHLESS #2: |Reset|Setup|Poll|Vend|Reader|Revalue||Expansion"},
      {0x68, "|Reset|Setup|Poll|Invalid|Invalid|Invalid|Invalid|Expansion"},
      {0x70,
       "HOPPER #2: |Reset|Setup|Dispenser Status|Poll|Manual Dispense Enable|Dispense|Payout|Expansion"},
  };
  Names expected;
  for (const auto& [address, fields] : groups) {
    const QStringList f = QString::fromLatin1(fields).split('|');
    for (int c = 0; c < 8; ++c) expected[address | c] = f[0] + f.value(c + 1);
  }
  auto command = [](int b) {
    QString text = QStringLiteral("held before");
    EXPECT_TRUE(MdbNames::CommandName(uint8_t(b), text));
    return text;
  };
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(command(b), expected.count(b) ? expected[b] : QStringLiteral("UNKNOWN: ")) << std::hex << b;
}

TEST(MdbNames, ResponsesByAddress) {
  const Names cashless = withFtl(0x1B, run(0x00, "Just Reset|Reader Config Data|Display Request|Begin Session|"
                                                 "Session Cancel Request|Vend Approved|Vend Denied|End Session|"
                                                 "Cancelled|Peripheral Identification|Malfunction / Error|"
                                                 "Cmd Out Of Sequence||Revalue Approved|Revalue Denied|"
                                                 "Revalue Limit Amount|User File Data|Time / Date Request|"
                                                 "Data Entry Request|Data Entry Cancel"));
  const Names gateway = withFtl(0x1B, run(0x00, "Just Reset|Comms Gateway Config|Request Transmit|"
                                                "Data Transmitted|Error|DTS Event Acknowledge|"
                                                "Peripheral Identification|Radio Signal Strength"));
  const Names satellite = withFtl(0x1B, run(0x00, "Just Reset|Vend Request|Vend or Home Success|"
                                                  "Vend or Home Fail|Configuration and Setup Data|"
                                                  "Item Price Request|Error Codes|Peripheral Identification|"
                                                  "Status Response|Multiple Data Block Transfer Response|"
                                                  "Single Data Block Response"));
  const Names a68 = {{0x00, "Just Reset"},          {0x01, "Reader Config Data"},
                     {0x02, "Display Request"},     {0x09, "Peripheral Identification"},
                     {0x0A, "Malfunction / Error"}, {0x11, "Time / Date Request"}};
  const Names ftlOnly = run(0x1B, FTL);
  const Names none;
  const std::pair<std::vector<int>, const Names*> cases[] = {
      {{0x12, 0x60, 0x67}, &cashless},      {{0x1A}, &gateway},
      {{0x40, 0x4B, 0x53}, &satellite},     {{0x6C}, &a68},
      {{0x0B, 0x33, 0x58, 0x77}, &ftlOnly}, {{0x20, 0x28, 0x38, 0x00, 0x80, 0xF8}, &none},
  };
  for (const auto& [addresses, names] : cases)
    for (int address : addresses)
      for (int r = 0; r < 256; ++r) {
        QString text = QStringLiteral("none");
        MdbNames::ResponseName(uint8_t(address), uint8_t(r), text);
        EXPECT_EQ(text, names->count(r) ? names->at(r) : "none") << std::hex << address << " " << r;
      }
}

QString sub(uint8_t c, uint8_t s, uint32_t length = 2) {
  const uint8_t msg[2] = {c, s};
  QString t = QStringLiteral("none");
  MdbNames::SubCommandName(msg, length, t);
  return t;
}

// A sub-command needs its command and its own byte: a shorter message has none.
TEST(MdbNames, SubCommandOfEveryCommand) {
  for (auto [length, want] : {std::pair{0u, "none"}, {1u, "none"}, {36u, "Vend Request"}})
    EXPECT_EQ(sub(0x13, 0x00, length), want) << length;
  struct Row {
    std::vector<int> commands;
    Names names;        // the names of the file transfers included
    const char* other;  // every other sub-command; nullptr: no text
  };
  const char* U = "Unknown";
  const std::vector<Row> rows = {
      {{0x0F}, withFtl(0xFA, run(0, "Identification|Feature Enable|Payout|Payout Status|Payout Value Poll|"
                                    "Send Diagnostic Status|Send Controlled Manual Fill Report|"
                                    "Send Controlled Manual Payout Report")), U},
      {{0x11, 0x61}, run(0, "Config Data|Max / Min Prices"), U},
      {{0x13, 0x63}, run(0, "Vend Request|Vend Cancel|Vend Success|Vend Failure|Session Complete|Cash Sale|"
                            "Negative Vend Request"), U},
      {{0x14, 0x64}, run(0, "Reader Disable|Reader Enable|Reader Cancel|Data Entry Response"), U},
      {{0x15, 0x65}, run(0, "Revalue Request|Revalue Limit Request"), U},
      {{0x17, 0x67}, withFtl(0xFA, run(0, "Identification|Read User File|Write User File|Write Time / Date|"
                                          "Feature Enable")), U},
      {{0x1B}, run(1, "Transaction Type 1|Transaction Type 2|Transaction Type 3|Transaction Type 4|"
                      "Transaction Type 5"), nullptr},
      {{0x1C}, run(0, "Disable|Enable|Transmit"), nullptr},
      {{0x1F, 0x5F, 0x77}, withFtl(0xFA, run(0, "Identification|Feature Enable")), U},
      {{0x37}, withFtl(0xFA, run(0, "Identification|Feature Enable|Identification with Options|Recycler Setup|"
                                    "Recycler Enable|Bill Dispense Status|Dispense Bill|Dispense Value|"
                                    "Payout Status|Payout Value Poll|Payout Cancel")), U},
      {{0x43, 0x4B, 0x53}, run(0, "Request Vend Approved|Request Vend Disapproved|Vend Specified Item Number|"
                                  "Home Specified Item Number|Request Status of Specified Item Number"), U},
      {{0x44, 0x4C, 0x54}, run(0, "Funds Credit|Funds Item Price"), U},
      {{0x45, 0x4D, 0x55}, run(0, "Disable Satellite Device|Enable Sattelite Device"), U},
      {{0x47, 0x4F, 0x57}, withFtl(0xFA, run(0, "Identification|Feature Enable|Number of Data Blocks to Send|"
                                                "Block Number Transmitting|Request to Send a Data Block|"
                                                "Send a Single Data Block")), U},
      {{0x5D, 0x75}, run(0, "Dispense Coins|Dispense Value"), U},
      {{0x5E, 0x76}, run(0, "Payout Status|Payout Value Poll"), U},
      {{0x6D}, run(0, "Config Data"), nullptr},
      {{0x6F}, run(0, "Identification|||Write Time / Date File", {{0xFF, "Diagnostics"}}), U},
  };
  std::map<int, const Row*> byCommand;
  for (const Row& r : rows) for (int c : r.commands) byCommand[c] = &r;
  for (int c = 0; c < 256; ++c) {
    const auto row = byCommand.find(c);
    const Row* r = row != byCommand.end() ? row->second : nullptr;
    for (int s = 0; s < 256; ++s) {
      const QString want = r && r->names.count(s) ? r->names.at(s) : r && r->other ? r->other : "none";
      ASSERT_EQ(sub(uint8_t(c), uint8_t(s)), want) << std::hex << c << " " << s;
    }
  }
}

TEST(MdbNames, AckOfEveryByte) {
  const Names replies = {
      {0x00, "ACK - Acknowledge"}, {0xAA, "RET - Retransmit"}, {0xFF, "NAK - Negative Acknowledge"}};
  for (int b = 0; b < 256; ++b) {
    QString t;
    EXPECT_TRUE(MdbNames::AckName(uint8_t(b), t));
    EXPECT_EQ(t, replies.count(b) ? replies.at(b) : QStringLiteral("Invalid")) << b;
  }
}

}  // namespace
