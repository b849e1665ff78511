#include "common/AcquisitionHeader.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

std::optional<AcquisitionHeader> AcquisitionHeader::Parse(const void* data, size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (count < LEGACY_LEAD_SIZE || std::any_of(bytes, bytes + 8, [](uint8_t b) { return b != 0; }))
    return std::nullopt;
  AcquisitionHeader header;
  header.blockSize = qFromLittleEndian<uint32_t>(bytes + 8);
  if (count >= ACQUISITION_HEADER_SIZE && std::memcmp(bytes + 12, HEADER_MAGIC, sizeof HEADER_MAGIC) == 0) {
    header.magic = true;
    header.startDate = qFromLittleEndian<double>(bytes + 16);
  }
  return header;
}

QByteArray AcquisitionHeader::Make() const {
  QByteArray bytes(magic ? ACQUISITION_HEADER_SIZE : LEGACY_LEAD_SIZE, '\0');
  qToLittleEndian(blockSize, bytes.data() + 8);
  if (magic) {
    std::memcpy(bytes.data() + 12, HEADER_MAGIC, sizeof HEADER_MAGIC);
    qToLittleEndian(startDate, bytes.data() + 16);
  }
  return bytes;
}
