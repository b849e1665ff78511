#include "tools/MdbScenarios.h"

#include <initializer_list>

namespace {

// Writes the bytes of a scenario with MDB framing and timing. A VMC message starts
// with its address byte (mode bit) and ends with its CHK; a peripheral response
// carries the mode bit on its CHK; a one-byte reply of the peripheral carries it on
// its only byte, one of the VMC does not carry it at all.
class Builder {
 public:
  // chkError is added to the right checksum: 0 for a good message.
  Builder& vmc(std::initializer_list<uint8_t> bytes, uint8_t chkError = 0) {
    return vmc(std::vector<uint8_t>(bytes), chkError);
  }
  Builder& vmc(const std::vector<uint8_t>& bytes, uint8_t chkError = 0) {
    return message(bytes, 0, ITEM_FLAG_MODE, CYCLE, 0, chkError);
  }
  Builder& response(std::initializer_list<uint8_t> bytes, uint8_t chkError = 0) {
    return response(std::vector<uint8_t>(bytes), chkError);
  }
  Builder& response(const std::vector<uint8_t>& bytes, uint8_t chkError = 0) {
    return message(bytes, ITEM_FLAG_SLAVE, 0, ANSWER, ITEM_FLAG_MODE, chkError);
  }
  Builder& peripheralReply(uint8_t byte) { return add(ITEM_FLAG_SLAVE | ITEM_FLAG_MODE, byte, ANSWER); }
  Builder& vmcReply(uint8_t byte) { return add(0, byte, ANSWER); }

  std::vector<MdbStep> steps() const { return m_steps; }

 private:
  enum Gap { CYCLE, ANSWER, BYTE };
  // side: ITEM_FLAG_SLAVE or 0; firstMode/chkMode: the mode bit on the first byte
  // and on the CHK.
  Builder& message(const std::vector<uint8_t>& bytes, uint8_t side, uint8_t firstMode, Gap firstGap,
                   uint8_t chkMode, uint8_t chkError) {
    uint8_t sum = 0;
    bool firstByte = true;
    for (uint8_t b : bytes) {
      add(static_cast<uint8_t>(side | (firstByte ? firstMode : 0)), b, firstByte ? firstGap : BYTE);
      sum = uint8_t(sum + b);
      firstByte = false;
    }
    add(static_cast<uint8_t>(side | chkMode), uint8_t(sum + chkError), BYTE);
    return *this;
  }
  Builder& add(uint8_t flags, uint8_t data, Gap gap) {
    const uint32_t delta = gap == CYCLE    ? MdbScenarios::CYCLE_TICKS
                           : gap == ANSWER ? MdbScenarios::ANSWER_TICKS
                                           : MdbScenarios::BYTE_TICKS;
    m_steps.push_back({flags, data, delta});
    return *this;
  }
  std::vector<MdbStep> m_steps;
};

constexpr uint8_t ACK = 0x00;
constexpr uint8_t RET = 0xAA;
constexpr uint8_t NAK = 0xFF;

std::vector<uint8_t> counting(uint8_t first, size_t count) {
  std::vector<uint8_t> v;
  for (size_t i = 0; i < count; ++i) v.push_back(uint8_t(first + i));
  return v;
}

std::vector<uint8_t> concat(std::initializer_list<uint8_t> head, const std::vector<uint8_t>& tail) {
  std::vector<uint8_t> v(head);
  v.insert(v.end(), tail.begin(), tail.end());
  return v;
}

MdbBusScenario changerPollAck() {
  Builder b;
  b.vmc({0x0B}).peripheralReply(ACK);  // POLL, nothing to report
  return {"changer-poll-ack", "Changer POLL answered with ACK", b.steps()};
}

MdbBusScenario cashlessSession() {
  Builder b;
  b.vmc({0x10}).peripheralReply(ACK);                              // RESET
  b.vmc({0x12}).response({0x00}).vmcReply(ACK);                    // POLL: Just Reset
  b.vmc({0x11, 0x00, 0x03, 0x00, 0x00, 0x00})                      // SETUP Config Data (VMC level 3)
      .response({0x01, 0x03, 0x19, 0x78, 0x01, 0x02, 0x0A, 0x01})  // Reader Config Data
      .vmcReply(ACK);
  b.vmc({0x11, 0x01, 0xFF, 0xFF, 0x00, 0x00}).peripheralReply(ACK);  // SETUP Max / Min Prices
  b.vmc({0x14, 0x01}).peripheralReply(ACK);                          // READER Enable
  b.vmc({0x12}).peripheralReply(ACK);                                // POLL, nothing
  b.vmc({0x12}).response({0x03, 0x01, 0xF4}).vmcReply(ACK);          // Begin Session, funds 500
  b.vmc({0x13, 0x00, 0x00, 0x96, 0x00, 0x05}).peripheralReply(ACK);  // VEND Request: 150, item 5
  b.vmc({0x12}).response({0x05, 0x00, 0x96}).vmcReply(ACK);          // Vend Approved, 150
  b.vmc({0x13, 0x02, 0x00, 0x05}).peripheralReply(ACK);              // VEND Success, item 5
  b.vmc({0x13, 0x04}).peripheralReply(ACK);                          // VEND Session Complete
  b.vmc({0x12}).response({0x07}).vmcReply(ACK);                      // End Session
  return {
      "cashless-session",
      "Cashless reader: reset, setup with sub-commands, poll, begin session, vend request, vend approved, "
      "vend success, session complete",
      b.steps()};
}

MdbBusScenario billValidator() {
  Builder b;
  b.vmc({0x30}).peripheralReply(ACK);            // RESET
  b.vmc({0x33}).response({0x06}).vmcReply(ACK);  // POLL: validator was reset
  b.vmc({0x31})                                  // SETUP
      .response({0x01, 0x19, 0x78, 0x00, 0x64, 0x00, 0x02, 0x00, 0x1E, 0xFF, 0x01, 0x05, 0x0A, 0x14})
      .vmcReply(ACK);
  b.vmc({0x37, 0x00})  // EXPANSION Identification
      .response(concat({'Q', 'X', 'S'}, counting('0', 26)))
      .vmcReply(ACK);
  b.vmc({0x34, 0x00, 0x0F, 0x00, 0x0F}).peripheralReply(ACK);  // BILL TYPE: enable and escrow 4 types
  b.vmc({0x33}).response({0x91}).vmcReply(ACK);                // POLL: bill type 1 in escrow
  b.vmc({0x35, 0x01}).peripheralReply(ACK);                    // ESCROW: stack it
  b.vmc({0x33}).response({0x81}).vmcReply(ACK);                // POLL: bill type 1 stacked
  b.vmc({0x36}).response({0x00, 0x05}).vmcReply(ACK);          // STACKER: 5 bills
  return {"bill-validator", "Bill validator: reset, setup, identification, bill type, escrow, stacker",
          b.steps()};
}

MdbBusScenario retNak() {
  Builder b;
  b.vmc({0x0B}).response({0x52, 0x01}).vmcReply(RET);  // POLL: coin routed; VMC wants it again
  b.response({0x52, 0x01}).vmcReply(ACK);              // retransmitted and taken
  b.vmc({0x0A}).peripheralReply(NAK);                  // TUBE STATUS refused
  b.vmc({0x0A}).response(concat({0x00, 0x00}, counting(0x01, 16))).vmcReply(NAK);  // answer refused
  b.vmc({0x0A}).response(concat({0x00, 0x00}, counting(0x01, 16))).vmcReply(ACK);
  return {"ret-nak", "RET and NAK from either side", b.steps()};
}

MdbBusScenario wrongChecksum() {
  Builder b;
  b.vmc({0x0B}, 1).peripheralReply(NAK);  // the VMC's CHK is wrong
  b.vmc({0x0B}).peripheralReply(ACK);
  b.vmc({0x12}).response({0x03, 0x00, 0x64}, 1).vmcReply(RET);  // the reader's CHK is wrong
  b.response({0x03, 0x00, 0x64}).vmcReply(ACK);
  return {"wrong-checksum", "A wrong checksum from the VMC and one from a cashless reader", b.steps()};
}

MdbBusScenario longMessage() {
  Builder b;
  b.vmc(concat({0x17, 0x02, 0x01, 38}, counting(0x40, 38)))
      .peripheralReply(ACK);                                   // Write User File, 43 bytes
  b.vmc({0x17, 0x01, 0x01})                                    // Read User File
      .response(concat({0x10, 0x01, 38}, counting(0x60, 38)))  // User File Data, 42 bytes
      .vmcReply(ACK);
  return {"long-message", "VMC message and reader response longer than 36 bytes", b.steps()};
}

}  // namespace

std::vector<MdbBusScenario> MdbScenarios::All() {
  return {changerPollAck(), cashlessSession(), billValidator(), retNak(), wrongChecksum(), longMessage()};
}

MdbBusScenario MdbScenarios::Find(const std::string& name) {
  for (MdbBusScenario& s : All())
    if (s.name == name) return s;
  return {};
}

std::vector<MdbStep> MdbScenarios::LongRecording(size_t minSteps) {
  const std::vector<MdbBusScenario> all = All();
  std::vector<MdbStep> steps;
  steps.reserve(minSteps + 256);
  while (steps.size() < minSteps)
    for (const MdbBusScenario& s : all) steps.insert(steps.end(), s.steps.begin(), s.steps.end());
  return steps;
}

std::vector<ItemRecord> MdbScenarios::ToItems(const std::vector<MdbStep>& steps, uint32_t& runningTime) {
  std::vector<ItemRecord> items;
  items.reserve(steps.size());
  for (const MdbStep& s : steps) {
    runningTime += s.delta;
    ItemRecord r;
    r.flags = s.flags;
    r.data = s.data;
    r.time = runningTime;
    items.push_back(r);
  }
  return items;
}
