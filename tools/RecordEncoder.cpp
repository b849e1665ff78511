#include "tools/RecordEncoder.h"

#include <algorithm>

#include "tools/Scenario.h"

namespace {

uint32_t bytesFor(uint32_t value) {
  if (value <= 0xFF) return 1;
  if (value <= 0xFFFF) return 2;
  if (value <= 0xFFFFFF) return 3;
  return 4;
}

}  // namespace

uint32_t RecordEncoder::nextRandom() {
  // xorshift: cheap and the same on every machine.
  m_state ^= m_state << 13;
  m_state ^= m_state >> 17;
  m_state ^= m_state << 5;
  return m_state;
}

QByteArray RecordEncoder::Encode(const BusByte& b, QByteArray& out) {
  m_deviceTime += b.gapTicks;  // wraps modulo 2^32 like the receiver's running time
  const bool absolute = m_absoluteNext || nextRandom() % 16 == 0;
  m_absoluteNext = false;
  const uint32_t value = absolute ? m_deviceTime : b.gapTicks;
  uint32_t timeBytes = bytesFor(value);
  if (nextRandom() % 8 == 0) timeBytes = std::max(timeBytes, 1 + nextRandom() % 4);

  uint8_t flags = static_cast<uint8_t>(((timeBytes - 1) & 3) << 5);
  if (b.fromPeripheral) flags |= 0x80;
  flags |= b.errors & 0x1C;
  if (!absolute) flags |= 0x02;
  if (b.modeBit) flags |= 0x01;

  out.append(static_cast<char>(flags));
  out.append(static_cast<char>(b.data));
  for (uint32_t i = 0; i < timeBytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));

  QByteArray item(6, 0);
  item[0] = static_cast<char>(flags);
  item[1] = static_cast<char>(b.data);
  for (int i = 0; i < 4; ++i) item[2 + i] = static_cast<char>((m_deviceTime >> (8 * i)) & 0xFF);
  return item;
}
