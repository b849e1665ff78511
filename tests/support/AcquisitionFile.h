#pragma once
#include <QByteArray>
#include <cstdint>

namespace testsupport {

// The 12 bytes that lead a legacy header block: eight zeros and the block size.
inline QByteArray anlLead(uint32_t blockSize) {
  return QByteArray(8, 0) + QByteArray(reinterpret_cast<const char*>(&blockSize), 4);
}
// The current header: lead, magic and start date (45000.5 is 15.03.2023 12:00:00).
inline QByteArray anlHeader(uint32_t blockSize = 24, double startDate = 45000.5) {
  return anlLead(blockSize) + "VRIM" + QByteArray(reinterpret_cast<const char*>(&startDate), 8);
}

}  // namespace testsupport
