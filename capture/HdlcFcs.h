#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::array<uint16_t, 256> hdlcFcsTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned v = b;
    for (int i = 0; i < 8; ++i) v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
    t[b] = static_cast<uint16_t>(v);
  }
  return t;
}

// FCS-16 of the serial link (CRC-16/X.25: polynomial 0x1021 bit-reflected, preset
// 0xFFFF, complemented when sent, low byte first). A receiver that runs the register
// over a whole frame including its FCS ends at GOOD.
class HdlcFcs {
public:
  static constexpr uint16_t INIT = 0xFFFF;
  static constexpr uint16_t GOOD = 0xF0B8;

  static uint16_t Update(uint16_t fcs, uint8_t byte) {
    return static_cast<uint16_t>((fcs >> 8) ^ TABLE[(fcs ^ byte) & 0xFF]);
  }
  // The register after every byte, without the final complement.
  static uint16_t Run(uint16_t fcs, const uint8_t* data, size_t length);
  // What the sender appends: the complemented register over the content.
  static uint16_t Compute(const uint8_t* data, size_t length) {
    return static_cast<uint16_t>(~Run(INIT, data, length));
  }

private:
  static constexpr std::array<uint16_t, 256> TABLE = hdlcFcsTable();
};
