#pragma once

#include <cstdint>

// Builds the wire form of one link frame: flag 0x7E, the content and its FCS with
// every 0x7D and 0x7E sent as 0x7D, byte ^ 0x20, flag 0x7E.
class HdlcEncoder {
public:
  static constexpr uint8_t FLAG = 0x7E;
  static constexpr uint8_t ESCAPE = 0x7D;
  static constexpr uint8_t ESCAPE_XOR = 0x20;
  static constexpr uint8_t ADDRESS = 0xBD;

  // Control byte of a data frame with sequence number N(S), and of an
  // acknowledgement carrying N(R).
  static uint8_t DataControl(uint8_t ns) { return static_cast<uint8_t>((ns & 7) << 1); }
  static uint8_t AckControl(uint8_t nr) { return static_cast<uint8_t>(((nr & 7) << 5) | 1); }

  // Writes the frame for head (address, control and, for a data frame, channel)
  // followed by the payload into out. Returns the bytes used, or 0 when the frame
  // would not fit into capacity (then nothing is meant to be sent).
  static uint32_t Encode(uint8_t* out, uint32_t capacity, const uint8_t* head, uint32_t headLength,
                         const uint8_t* payload, uint32_t payloadLength);
};
