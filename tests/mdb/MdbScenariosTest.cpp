#include <gtest/gtest.h>

#include <QRegularExpression>

#include "capture/CActiveFile.h"
#include "mdb/CMDBInterpreter.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

using namespace mdbtest;

namespace {

// The texts of the scenario's bytes that get one, '|'-separated.
std::string named(const std::string& scenario) {
  CActiveFile file;
  TestView view(1);
  CMDBInterpreter decoder(view, file);
  uint32_t time = 0;
  const std::string all = decodeAll(decoder, MdbScenarios::ToItems(MdbScenarios::Find(scenario).steps, time));
  return QString::fromStdString(all).split('|').filter(QRegularExpression("^(?!-$)")).join('|').toStdString();
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
  EXPECT_EQ(MdbScenarios::All().size(), std::size(cases));
  EXPECT_TRUE(MdbScenarios::Find("no such").steps.empty());
}

}  // namespace
