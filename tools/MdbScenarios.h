#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ItemRecord.h"

// One byte on the Multi-Drop Bus as the QX-7700 sees it: who sent it (ITEM_FLAG_SLAVE
// for the peripheral side), its mode (ninth) bit (ITEM_FLAG_MODE), the data byte, and
// the time since the byte before in time-stamp ticks.
struct MdbStep {
  uint8_t flags = 0;
  uint8_t data = 0;
  uint32_t delta = 0;
};

struct MdbBusScenario {
  std::string name;
  std::string description;
  std::vector<MdbStep> steps;
};

// The MDB exchanges the simulator plays: a changer poll with ACK, a cashless session,
// a bill validator exchange, RET and NAK, a wrong checksum on each side and messages
// longer than 36 bytes. Every checksum is right unless the scenario is about a wrong
// one. Only the standard library and the item flags are used, so any program can
// take the generator in.
class MdbScenarios {
 public:
  // Names: "changer-poll-ack", "cashless-session", "bill-validator", "ret-nak",
  // "wrong-checksum", "long-message".
  static std::vector<MdbBusScenario> All();
  // The scenario of that name; an empty one (no steps) when there is none.
  static MdbBusScenario Find(const std::string& name);
  // Every scenario, in the order of All(), again and again until at least minSteps
  // steps are there: endless plausible traffic.
  static std::vector<MdbStep> LongRecording(size_t minSteps);
  // Items with absolute time stamps (no delta flag), continuing the running time.
  static std::vector<ItemRecord> ToItems(const std::vector<MdbStep>& steps, uint32_t& runningTime);

  // One byte at 9600 baud with 11 bits, in time-stamp ticks (about 1.15 ms).
  static constexpr uint32_t BYTE_TICKS = 88;
  // From the end of a message to the other side's answer (about 2 ms).
  static constexpr uint32_t ANSWER_TICKS = 154;
  // Between two exchanges of the VMC's poll cycle (about 25 ms).
  static constexpr uint32_t CYCLE_TICKS = 1919;
};
