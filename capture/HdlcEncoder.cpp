#include "capture/HdlcEncoder.h"

#include "capture/HdlcFcs.h"

namespace {

// Appends one content byte, escaped; false when it does not fit.
bool put(uint8_t* out, uint32_t capacity, uint32_t& at, uint8_t b) {
  if (b == HdlcEncoder::FLAG || b == HdlcEncoder::ESCAPE) {
    if (at + 2 > capacity) return false;
    out[at++] = HdlcEncoder::ESCAPE;
    out[at++] = static_cast<uint8_t>(b ^ HdlcEncoder::ESCAPE_XOR);
    return true;
  }
  if (at + 1 > capacity) return false;
  out[at++] = b;
  return true;
}

}  // namespace

uint32_t HdlcEncoder::Encode(uint8_t* out, uint32_t capacity, const uint8_t* head, uint32_t headLength,
                             const uint8_t* payload, uint32_t payloadLength) {
  uint32_t at = 0;
  if (capacity < 1) return 0;
  out[at++] = FLAG;
  uint16_t fcs = HdlcFcs::INIT;
  for (uint32_t i = 0; i < headLength; ++i) {
    fcs = HdlcFcs::Update(fcs, head[i]);
    if (!put(out, capacity, at, head[i])) return 0;
  }
  for (uint32_t i = 0; i < payloadLength; ++i) {
    fcs = HdlcFcs::Update(fcs, payload[i]);
    if (!put(out, capacity, at, payload[i])) return 0;
  }
  fcs = static_cast<uint16_t>(~fcs);
  if (!put(out, capacity, at, static_cast<uint8_t>(fcs & 0xFF))) return 0;
  if (!put(out, capacity, at, static_cast<uint8_t>(fcs >> 8))) return 0;
  if (at + 1 > capacity) return 0;
  out[at++] = FLAG;
  return at;
}
