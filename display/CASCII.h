#pragma once

#include <cstdint>

// The short text shown for a byte: a three-character name for the control
// characters 0 to 32 and 127, the byte itself for every other value. The text
// lives in the object and is overwritten by the next call.
class CASCII {
 public:
  CASCII() = default;
  ~CASCII() = default;

  const char* GetName(uint8_t byte);

 private:
  char m_buffer[8];
};
