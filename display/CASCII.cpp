#include "display/CASCII.h"

#include <cstdio>

namespace {

// Two-letter names carry a leading blank so that every name is three wide.
const char* const CONTROL_NAMES[33] = {"nul", "soh", "stx", "etx", "eot", "enq", "ack", "bel", " bs",
                                       " ht", " lf", " vt", " ff", " cr", " so", " si", "dle", "dc1",
                                       "dc2", "dc3", "dc4", "nak", "syn", "etb", "can", "eom", "sub",
                                       "esc", " fs", " gs", " rs", " us", " sp"};

}  // namespace

const char* CASCII::GetName(uint8_t byte) {
  if (byte <= 32) {
    std::snprintf(m_buffer, sizeof m_buffer, "%s", CONTROL_NAMES[byte]);
  } else if (byte == 127) {
    std::snprintf(m_buffer, sizeof m_buffer, "%s", "del");
  } else {
    m_buffer[0] = static_cast<char>(byte);
    m_buffer[1] = '\0';
  }
  return m_buffer;
}
