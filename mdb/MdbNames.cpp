#include "mdb/MdbNames.h"

#include <array>
#include <initializer_list>
#include <utility>

namespace {

using NameTable = std::array<QString, 256>;  // a null entry gives no text

struct Row {
  uint8_t byte;
  const char* name;
};

NameTable makeTable(std::initializer_list<Row> rows, const char* other = nullptr) {
  NameTable t;
  if (other)
    for (QString& s : t) s = QString::fromLatin1(other);
  for (const Row& r : rows) t[r.byte] = QString::fromLatin1(r.name);
  return t;
}

// Address prefixes. A null prefix is an address outside the standard's table;
// 0x68 is known but carries no prefix.
const char* addressPrefix(uint8_t address, bool& known) {
  known = true;
  switch (address) {
    case 0x08:
      return "CHANGER: ";
    case 0x10:
      return "CASHLESS #1: ";
    case 0x18:
      return "GATEWAY: ";
    case 0x20:
      return "DISPLAY: ";
    case 0x28:
      return "ENERGY: ";
    case 0x30:
      return "VALIDATOR: ";
    case 0x40:
      return "CASHLESS #1: ";
    case 0x48:
      return "CASHLESS #2: ";
    case 0x50:
      return "CASHLESS #3: ";
    case 0x58:
      return "HOPPER #1: ";
    case 0x60:
      return "CASHLESS #2: ";
    case 0x68:
      return "";
    case 0x70:
      return "HOPPER #2: ";
    default:
      known = false;
      return "UNKNOWN: ";
  }
}

// Command names per address; null = the prefix alone.
using CommandRow = std::array<const char*, 8>;

const CommandRow* commandRow(uint8_t address) {
  static const CommandRow changer = {"Reset",     "Setup",    "Tube Status", "Poll",
                                     "Coin Type", "Dispense", nullptr,       "Expansion"};
  static const CommandRow cashlessReader = {"Reset",  "Setup",   "Poll",  "Vend",
                                            "Reader", "Revalue", nullptr, "Expansion"};
  static const CommandRow gateway = {"Reset",   "Setup", "Poll",  "Report",
                                     "Control", nullptr, nullptr, "Expansion"};
  static const CommandRow validator = {"Reset",     "Setup",  "Security", "Poll",
                                       "Bill Type", "Escrow", "Stacker",  "Expansion"};
  static const CommandRow cashlessSatellite = {"Reset", "Setup",   "Poll",  "Vend",
                                               "Funds", "Control", nullptr, "Expansion"};
  static const CommandRow hopper = {
      "Reset",    "Setup",  "Dispenser Status", "Poll", "Manual Dispense Enable",
      "Dispense", "Payout", "Expansion"};
  static const CommandRow address68 = {"Reset",   "Setup",   "Poll",    "Invalid",
                                       "Invalid", "Invalid", "Invalid", "Expansion"};
  switch (address) {
    case 0x08:
      return &changer;
    case 0x10:
    case 0x60:
      return &cashlessReader;
    case 0x18:
      return &gateway;
    case 0x30:
      return &validator;
    case 0x40:
    case 0x48:
    case 0x50:
      return &cashlessSatellite;
    case 0x58:
    case 0x70:
      return &hopper;
    case 0x68:
      return &address68;
    default:
      return nullptr;  // 0x20, 0x28 and the unknown addresses: prefix alone
  }
}

struct Tables {
  NameTable command;

  // Responses by the group of the addressed peripheral.
  NameTable responseCashless;   // 0x10, 0x60
  NameTable responseGateway;    // 0x18
  NameTable responseSatellite;  // 0x40, 0x48, 0x50
  NameTable response68;         // 0x68
  NameTable responseFtlOnly;    // 0x08, 0x30, 0x58, 0x70

  // Sub-commands by command byte; null = no sub-command names for that command.
  std::array<const NameTable*, 256> subCommand{};
  std::array<NameTable, 18> subTables;

  NameTable ack;

  Tables();
};

const std::initializer_list<Row> FTL_RESPONSES = {
    {0x1B, "FTL Request to Receive"}, {0x1C, "FTL Retry / Deny"},    {0x1D, "FTL Send Block"},
    {0x1E, "FTL OK to Send"},         {0x1F, "FTL Request to Send"},
};

Tables::Tables() {
  for (int b = 0; b < 256; ++b) {
    const uint8_t address = static_cast<uint8_t>(b & 0xF8);
    bool known = false;
    const char* prefix = addressPrefix(address, known);
    const CommandRow* row = known ? commandRow(address) : nullptr;
    const char* name = row ? (*row)[b & 0x07] : nullptr;
    command[b] = QString::fromLatin1(prefix) + QString::fromLatin1(name ? name : "");
  }

  responseCashless = makeTable({
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
      {0xFF, "Diagnostics"},
  });
  responseGateway = makeTable({
      {0x00, "Just Reset"},
      {0x01, "Comms Gateway Config"},
      {0x02, "Request Transmit"},
      {0x03, "Data Transmitted"},
      {0x04, "Error"},
      {0x05, "DTS Event Acknowledge"},
      {0x06, "Peripheral Identification"},
      {0x07, "Radio Signal Strength"},
      {0xFF, "Diagnostics"},
  });
  responseSatellite = makeTable({
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
      {0xFF, "Diagnostics"},
  });
  response68 = makeTable({
      {0x00, "Just Reset"},
      {0x01, "Reader Config Data"},
      {0x02, "Display Request"},
      {0x09, "Peripheral Identification"},
      {0x0A, "Malfunction / Error"},
      {0x11, "Time / Date Request"},
  });
  responseFtlOnly = makeTable(FTL_RESPONSES);
  for (NameTable* t : {&responseCashless, &responseGateway, &responseSatellite})
    for (const Row& r : FTL_RESPONSES) (*t)[r.byte] = QString::fromLatin1(r.name);

  const std::initializer_list<Row> ftlBlock = {
      {0xFA, "FTL Request to Receive"}, {0xFB, "FTL Retry / Deny"},    {0xFC, "FTL Send Block"},
      {0xFD, "FTL OK to Send"},         {0xFE, "FTL Request to Send"}, {0xFF, "Diagnostics"},
  };
  size_t next = 0;
  auto add = [&](std::initializer_list<uint8_t> commands, std::initializer_list<Row> rows, const char* other,
                 bool withFtl) {
    NameTable& t = subTables.at(next++);
    t = makeTable(rows, other);
    if (withFtl)
      for (const Row& r : ftlBlock) t[r.byte] = QString::fromLatin1(r.name);
    for (uint8_t c : commands) subCommand[c] = &t;
  };
  const char* unknown = "Unknown";

  // The commands after which the decoder expects a sub-command byte.
  add({0x0F},
      {{0x00, "Identification"},
       {0x01, "Feature Enable"},
       {0x02, "Payout"},
       {0x03, "Payout Status"},
       {0x04, "Payout Value Poll"},
       {0x05, "Send Diagnostic Status"},
       {0x06, "Send Controlled Manual Fill Report"},
       {0x07, "Send Controlled Manual Payout Report"}},
      unknown, true);
  add({0x11, 0x61}, {{0x00, "Config Data"}, {0x01, "Max / Min Prices"}}, unknown, false);
  add({0x13, 0x63},
      {{0x00, "Vend Request"},
       {0x01, "Vend Cancel"},
       {0x02, "Vend Success"},
       {0x03, "Vend Failure"},
       {0x04, "Session Complete"},
       {0x05, "Cash Sale"},
       {0x06, "Negative Vend Request"}},
      unknown, false);
  add({0x14, 0x64},
      {{0x00, "Reader Disable"},
       {0x01, "Reader Enable"},
       {0x02, "Reader Cancel"},
       {0x03, "Data Entry Response"}},
      unknown, false);
  add({0x15, 0x65}, {{0x00, "Revalue Request"}, {0x01, "Revalue Limit Request"}}, unknown, false);
  add({0x17, 0x67},
      {{0x00, "Identification"},
       {0x01, "Read User File"},
       {0x02, "Write User File"},
       {0x03, "Write Time / Date"},
       {0x04, "Feature Enable"}},
      unknown, true);

  // Commands that carry a sub-command byte too, though the decoder does not wait
  // for one after them; their names are there for whoever asks.
  add({0x1B},
      {{0x01, "Transaction Type 1"},
       {0x02, "Transaction Type 2"},
       {0x03, "Transaction Type 3"},
       {0x04, "Transaction Type 4"},
       {0x05, "Transaction Type 5"}},
      nullptr, false);
  add({0x1C}, {{0x00, "Disable"}, {0x01, "Enable"}, {0x02, "Transmit"}}, nullptr, false);
  add({0x1F, 0x5F, 0x77}, {{0x00, "Identification"}, {0x01, "Feature Enable"}}, unknown, true);
  add({0x37},
      {{0x00, "Identification"},
       {0x01, "Feature Enable"},
       {0x02, "Identification with Options"},
       {0x03, "Recycler Setup"},
       {0x04, "Recycler Enable"},
       {0x05, "Bill Dispense Status"},
       {0x06, "Dispense Bill"},
       {0x07, "Dispense Value"},
       {0x08, "Payout Status"},
       {0x09, "Payout Value Poll"},
       {0x0A, "Payout Cancel"}},
      unknown, true);
  add({0x43, 0x4B, 0x53},
      {{0x00, "Request Vend Approved"},
       {0x01, "Request Vend Disapproved"},
       {0x02, "Vend Specified Item Number"},
       {0x03, "Home Specified Item Number"},
       {0x04, "Request Status of Specified Item Number"}},
      unknown, false);
  add({0x44, 0x4C, 0x54}, {{0x00, "Funds Credit"}, {0x01, "Funds Item Price"}}, unknown, false);
  add({0x45, 0x4D, 0x55}, {{0x00, "Disable Satellite Device"}, {0x01, "Enable Sattelite Device"}}, unknown,
      false);
  add({0x47, 0x4F, 0x57},
      {{0x00, "Identification"},
       {0x01, "Feature Enable"},
       {0x02, "Number of Data Blocks to Send"},
       {0x03, "Block Number Transmitting"},
       {0x04, "Request to Send a Data Block"},
       {0x05, "Send a Single Data Block"}},
      unknown, true);
  add({0x5D, 0x75}, {{0x00, "Dispense Coins"}, {0x01, "Dispense Value"}}, unknown, false);
  add({0x5E, 0x76}, {{0x00, "Payout Status"}, {0x01, "Payout Value Poll"}}, unknown, false);
  add({0x6D}, {{0x00, "Config Data"}}, nullptr, false);
  add({0x6F}, {{0x00, "Identification"}, {0x03, "Write Time / Date File"}, {0xFF, "Diagnostics"}}, unknown,
      false);

  ack = makeTable(
      {{0x00, "ACK - Acknowledge"}, {0xAA, "RET - Retransmit"}, {0xFF, "NAK - Negative Acknowledge"}},
      "Invalid");
}

const Tables& tables() {
  static const Tables t;
  return t;
}

bool give(const QString& name, QString& text) {
  if (name.isNull()) return false;
  text = name;
  return true;
}

}  // namespace

bool MdbNames::CommandName(uint8_t addressByte, QString& text) {
  text = tables().command[addressByte];
  return true;
}

bool MdbNames::ResponseName(uint8_t addressByte, uint8_t responseByte, QString& text) {
  const Tables& t = tables();
  switch (addressByte & 0xF8) {
    case 0x10:
    case 0x60:
      return give(t.responseCashless[responseByte], text);
    case 0x18:
      return give(t.responseGateway[responseByte], text);
    case 0x40:
    case 0x48:
    case 0x50:
      return give(t.responseSatellite[responseByte], text);
    case 0x68:
      return give(t.response68[responseByte], text);
    case 0x08:
    case 0x30:
    case 0x58:
    case 0x70:
      return give(t.responseFtlOnly[responseByte], text);
    default:
      return false;
  }
}

bool MdbNames::SubCommandName(const uint8_t* message, uint32_t length, QString& text) {
  if (length < 2) return false;
  const NameTable* sub = tables().subCommand[message[0]];
  return sub && give((*sub)[message[1]], text);
}

bool MdbNames::AckName(uint8_t data, QString& text) {
  text = tables().ack[data];
  return true;
}
