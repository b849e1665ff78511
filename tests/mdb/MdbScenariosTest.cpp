#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "capture/CActiveFile.h"
#include "mdb/CMDBInterpreter.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

using namespace mdbtest;

namespace {

struct Decoded {
  std::vector<std::optional<QString>> texts;
  std::set<uint32_t> states;  // states seen before and after each item
  // Rows of the state machine used: sender (1 = peripheral), mode bit, state before.
  std::set<std::tuple<int, int, uint32_t>> rows;
};

Decoded decodeSteps(const std::vector<MdbStep>& steps) {
  CActiveFile file;
  TestView view(1);
  CMDBInterpreter decoder(view, file);
  Decoded d;
  uint32_t time = 0;
  const std::vector<ItemRecord> items = MdbScenarios::ToItems(steps, time);
  for (uint32_t i = 0; i < items.size(); ++i) {
    const uint32_t before = decoder.GetState();
    d.states.insert(before);
    d.rows.insert({items[i].flags & ITEM_FLAG_SLAVE ? 1 : 0, items[i].flags & ITEM_FLAG_MODE, before});
    QString text;
    d.texts.push_back(decoder.DecodeItem(i, text, &items[i]) ? std::optional<QString>(text) : std::nullopt);
    d.states.insert(decoder.GetState());
  }
  return d;
}

TEST(MdbScenarios, AllAreThereAndFramedByMdbRules) {
  const std::vector<MdbBusScenario> all = MdbScenarios::All();
  const std::vector<std::string> names = {"changer-poll-ack", "cashless-session", "bill-validator",
                                          "ret-nak",          "wrong-checksum",   "long-message"};
  ASSERT_EQ(all.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(all[i].name, names[i]);
    EXPECT_FALSE(all[i].steps.empty());
    EXPECT_EQ(MdbScenarios::Find(names[i]).steps.size(), all[i].steps.size());
    // Every scenario opens with a VMC address byte.
    EXPECT_EQ(all[i].steps.front().flags, ITEM_FLAG_MODE) << names[i];
    for (const MdbStep& s : all[i].steps) {
      EXPECT_EQ(s.flags & ~(ITEM_FLAG_SLAVE | ITEM_FLAG_MODE), 0);
      EXPECT_GT(s.delta, 0u);
    }
  }
  EXPECT_TRUE(MdbScenarios::Find("no such").steps.empty());

  uint32_t time = 1000;
  const auto items = MdbScenarios::ToItems(all[0].steps, time);
  ASSERT_EQ(items.size(), 3u);
  // Copies: the packed time field cannot be bound to a reference.
  const uint32_t firstTime = items[0].time;
  const uint32_t lastTime = items[2].time;
  EXPECT_EQ(firstTime, 1000 + all[0].steps[0].delta);
  EXPECT_EQ(lastTime, time);
  EXPECT_GE(MdbScenarios::LongRecording(10000).size(), 10000u);
}

TEST(MdbScenarios, TogetherReachEveryStateAndRow) {
  std::set<uint32_t> states;
  std::set<std::tuple<int, int, uint32_t>> rows;
  for (const MdbBusScenario& s : MdbScenarios::All()) {
    const Decoded d = decodeSteps(s.steps);
    states.insert(d.states.begin(), d.states.end());
    rows.insert(d.rows.begin(), d.rows.end());
  }
  EXPECT_EQ(states, (std::set<uint32_t>{MDBSTATE_START, MDBSTATE_VMC, MDBSTATE_REPLY, MDBSTATE_SUBCMD,
                                        MDBSTATE_RESPONSE}));
  auto used = [&](int sender, int mode, uint32_t state) { return rows.count({sender, mode, state}) != 0; };
  EXPECT_TRUE(used(0, 1, MDBSTATE_START));     // VMC address byte
  EXPECT_TRUE(used(0, 0, MDBSTATE_RESPONSE));  // VMC ACK / RET / NAK
  EXPECT_TRUE(used(0, 0, MDBSTATE_SUBCMD));    // sub-command
  EXPECT_TRUE(used(0, 0, MDBSTATE_VMC));       // VMC data and CHK
  EXPECT_TRUE(used(1, 1, MDBSTATE_RESPONSE));  // response CHK
  EXPECT_TRUE(used(1, 1, MDBSTATE_VMC));       // one-byte reply
  EXPECT_TRUE(used(1, 0, MDBSTATE_VMC));       // response starts
  EXPECT_TRUE(used(1, 0, MDBSTATE_RESPONSE));  // response data
}

// The names of the scenario's bytes in order, "-" for a byte without a text.
std::vector<QString> names(const std::string& scenario) {
  std::vector<QString> out;
  for (const auto& t : decodeSteps(MdbScenarios::Find(scenario).steps).texts)
    out.push_back(t ? *t : QStringLiteral("-"));
  return out;
}

TEST(MdbScenarios, ChangerPollAck) {
  EXPECT_EQ(names("changer-poll-ack"), (std::vector<QString>{"CHANGER: Poll", "-", "ACK - Acknowledge"}));
}

TEST(MdbScenarios, CashlessSessionIsNamedStepByStep) {
  std::vector<QString> named;
  for (const QString& n : names("cashless-session"))
    if (n != "-") named.push_back(n);
  const std::vector<QString> expected = {
      "CASHLESS #1: Reset", "ACK - Acknowledge", "CASHLESS #1: Poll",
      "Just Reset",         "CHK Okay",          "ACK - Acknowledge",
      "CASHLESS #1: Setup", "Config Data",       "Reader Config Data",
      "CHK Okay",           "ACK - Acknowledge", "CASHLESS #1: Setup",
      "Max / Min Prices",   "ACK - Acknowledge", "CASHLESS #1: Reader",
      "Reader Enable",      "ACK - Acknowledge", "CASHLESS #1: Poll",
      "ACK - Acknowledge",  "CASHLESS #1: Poll", "Begin Session",
      "CHK Okay",           "ACK - Acknowledge", "CASHLESS #1: Vend",
      "Vend Request",       "ACK - Acknowledge", "CASHLESS #1: Poll",
      "Vend Approved",      "CHK Okay",          "ACK - Acknowledge",
      "CASHLESS #1: Vend",  "Vend Success",      "ACK - Acknowledge",
      "CASHLESS #1: Vend",  "Session Complete",  "ACK - Acknowledge",
      "CASHLESS #1: Poll",  "End Session",       "CHK Okay",
      "ACK - Acknowledge",
  };
  EXPECT_EQ(named, expected);
}

TEST(MdbScenarios, BillValidator) {
  std::vector<QString> named;
  for (const QString& n : names("bill-validator"))
    if (n != "-") named.push_back(n);
  const std::vector<QString> expected = {
      "VALIDATOR: Reset",
      "ACK - Acknowledge",
      "VALIDATOR: Poll",
      "CHK Okay",
      "ACK - Acknowledge",
      "VALIDATOR: Setup",
      "CHK Okay",
      "ACK - Acknowledge",
      "VALIDATOR: Expansion",
      "CHK Okay",
      "ACK - Acknowledge",  // no sub-command is expected after 0x37
      "VALIDATOR: Bill Type",
      "ACK - Acknowledge",
      "VALIDATOR: Poll",
      "CHK Okay",
      "ACK - Acknowledge",
      "VALIDATOR: Escrow",
      "ACK - Acknowledge",
      "VALIDATOR: Poll",
      "CHK Okay",
      "ACK - Acknowledge",
      "VALIDATOR: Stacker",
      "CHK Okay",
      "ACK - Acknowledge",
  };
  EXPECT_EQ(named, expected);
}

TEST(MdbScenarios, RetAndNakKeepTheirNames) {
  std::vector<QString> named;
  for (const QString& n : names("ret-nak"))
    if (n != "-") named.push_back(n);
  const std::vector<QString> expected = {
      "CHANGER: Poll",
      "CHK Okay",
      "RET - Retransmit",
      "CHK Okay",
      "ACK - Acknowledge",
      "CHANGER: Tube Status",
      "NAK - Negative Acknowledge",
      "CHANGER: Tube Status",
      "CHK Okay",
      "NAK - Negative Acknowledge",
      "CHANGER: Tube Status",
      "CHK Okay",
      "ACK - Acknowledge",
  };
  EXPECT_EQ(named, expected);
}

TEST(MdbScenarios, WrongChecksumOnTheReaderSide) {
  std::vector<QString> named;
  for (const QString& n : names("wrong-checksum"))
    if (n != "-") named.push_back(n);
  // The VMC side's verdicts are posted by a pass (see the worker tests).
  const std::vector<QString> expected = {
      "CHANGER: Poll",     "NAK - Negative Acknowledge", "CHANGER: Poll",
      "ACK - Acknowledge", "CASHLESS #1: Poll",          "Begin Session",
      "CHK Invalid",       "RET - Retransmit",           "Begin Session",
      "CHK Okay",          "ACK - Acknowledge",
  };
  EXPECT_EQ(named, expected);
}

TEST(MdbScenarios, LongMessages) {
  const MdbBusScenario s = MdbScenarios::Find("long-message");
  const std::vector<QString> n = names("long-message");
  EXPECT_EQ(n[0], "CASHLESS #1: Expansion");
  EXPECT_EQ(n[1], "Write User File");
  // 43 VMC bytes: more than the 36 kept; then the reader's ACK.
  EXPECT_EQ(n[43], "ACK - Acknowledge");
  EXPECT_EQ(n[44], "CASHLESS #1: Expansion");
  EXPECT_EQ(n[45], "Read User File");
  EXPECT_EQ(n[48], "User File Data");
  // 41 response bytes and the CHK; the verdict over the 36 kept is not the real one.
  EXPECT_EQ(n[89], "CHK Invalid");
  EXPECT_EQ(n[90], "ACK - Acknowledge");
  EXPECT_EQ(n.size(), 91u);
  EXPECT_EQ(s.steps.size(), 91u);
}

}  // namespace
