#include <gtest/gtest.h>

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
  ASSERT_EQ(all.size(), 6u);  // each is named in EachIsNamedStepByStep
  for (const MdbBusScenario& scenario : all) {
    EXPECT_EQ(MdbScenarios::Find(scenario.name).steps.size(), scenario.steps.size());
    ASSERT_FALSE(scenario.steps.empty());
    EXPECT_EQ(scenario.steps.front().flags, ITEM_FLAG_MODE) << scenario.name;  // a VMC address byte
    for (const MdbStep& s : scenario.steps) {
      EXPECT_EQ(s.flags & ~(ITEM_FLAG_SLAVE | ITEM_FLAG_MODE), 0);
      EXPECT_GT(s.delta, 0u);
    }
  }
  EXPECT_TRUE(MdbScenarios::Find("no such").steps.empty());

  uint32_t time = 1000;
  const auto items = MdbScenarios::ToItems(all[0].steps, time);
  ASSERT_EQ(items.size(), 3u);
  // Copies: the packed time field cannot be bound to a reference.
  const uint32_t firstTime = items[0].time, lastTime = items[2].time;
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
  // Sender (1 = peripheral), mode bit, state: VMC address byte; VMC ACK/RET/NAK;
  // sub-command; VMC data and CHK; response CHK; one-byte reply; response start and data.
  const std::tuple<int, int, uint32_t> needed[] = {{0, 1, MDBSTATE_START},    {0, 0, MDBSTATE_RESPONSE},
                                                   {0, 0, MDBSTATE_SUBCMD},   {0, 0, MDBSTATE_VMC},
                                                   {1, 1, MDBSTATE_RESPONSE}, {1, 1, MDBSTATE_VMC},
                                                   {1, 0, MDBSTATE_VMC},      {1, 0, MDBSTATE_RESPONSE}};
  for (const auto& row : needed) EXPECT_EQ(rows.count(row), 1u);
}

// The texts of the scenario's bytes that get one, '|'-separated.
std::string named(const std::string& scenario) {
  std::string out;
  for (const auto& t : decodeSteps(MdbScenarios::Find(scenario).steps).texts)
    if (t) out += (out.empty() ? "" : "|") + t->toStdString();
  return out;
}

TEST(MdbScenarios, EachIsNamedStepByStep) {
  const std::pair<const char*, const char*> cases[] = {
      {"changer-poll-ack", "CHANGER: Poll|ACK - Acknowledge"},
      {"cashless-session",
       "CASHLESS #1: Reset|ACK - Acknowledge|CASHLESS #1: Poll|Just Reset|CHK Okay|ACK - Acknowledge|"
       "CASHLESS #1: Setup|Config Data|Reader Config Data|CHK Okay|ACK - Acknowledge|CASHLESS #1: Setup|"
       "Max / Min Prices|ACK - Acknowledge|CASHLESS #1: Reader|Reader Enable|ACK - Acknowledge|"
       "CASHLESS #1: Poll|ACK - Acknowledge|CASHLESS #1: Poll|Begin Session|CHK Okay|ACK - Acknowledge|"
       "CASHLESS #1: Vend|Vend Request|ACK - Acknowledge|CASHLESS #1: Poll|Vend Approved|CHK Okay|"
       "ACK - Acknowledge|CASHLESS #1: Vend|Vend Success|ACK - Acknowledge|CASHLESS #1: Vend|"
       "Session Complete|ACK - Acknowledge|CASHLESS #1: Poll|End Session|CHK Okay|ACK - Acknowledge"},
      // No sub-command is expected after the validator's expansion (0x37).
      {"bill-validator",
       "VALIDATOR: Reset|ACK - Acknowledge|VALIDATOR: Poll|CHK Okay|ACK - Acknowledge|VALIDATOR: Setup|"
       "CHK Okay|ACK - Acknowledge|VALIDATOR: Expansion|CHK Okay|ACK - Acknowledge|VALIDATOR: Bill Type|"
       "ACK - Acknowledge|VALIDATOR: Poll|CHK Okay|ACK - Acknowledge|VALIDATOR: Escrow|ACK - Acknowledge|"
       "VALIDATOR: Poll|CHK Okay|ACK - Acknowledge|VALIDATOR: Stacker|CHK Okay|ACK - Acknowledge"},
      {"ret-nak",
       "CHANGER: Poll|CHK Okay|RET - Retransmit|CHK Okay|ACK - Acknowledge|CHANGER: Tube Status|"
       "NAK - Negative Acknowledge|CHANGER: Tube Status|CHK Okay|NAK - Negative Acknowledge|"
       "CHANGER: Tube Status|CHK Okay|ACK - Acknowledge"},
      // The VMC side's verdicts are posted by a pass (see the worker tests).
      {"wrong-checksum",
       "CHANGER: Poll|NAK - Negative Acknowledge|CHANGER: Poll|ACK - Acknowledge|CASHLESS #1: Poll|"
       "Begin Session|CHK Invalid|RET - Retransmit|Begin Session|CHK Okay|ACK - Acknowledge"},
      // 43 VMC bytes, more than the 36 kept; then 41 response bytes and the CHK,
      // whose verdict over the 36 kept is not the real one.
      {"long-message",
       "CASHLESS #1: Expansion|Write User File|ACK - Acknowledge|CASHLESS #1: Expansion|Read User File|"
       "User File Data|CHK Invalid|ACK - Acknowledge"},
  };
  for (const auto& [scenario, texts] : cases) EXPECT_EQ(named(scenario), texts) << scenario;

  const std::vector<std::optional<QString>> n = decodeSteps(MdbScenarios::Find("long-message").steps).texts;
  ASSERT_EQ(n.size(), 91u);
  EXPECT_EQ(n[43], "ACK - Acknowledge");
  EXPECT_EQ(n[89], "CHK Invalid");
}

}  // namespace
