#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>

// The header of the current form; a new file's items start right after it.
inline constexpr uint32_t ACQUISITION_HEADER_SIZE = 24;
// Eight zero bytes and the block size, the lead of both forms; the legacy text follows it.
inline constexpr uint32_t LEGACY_LEAD_SIZE = 12;
inline constexpr char HEADER_MAGIC[4] = {'V', 'R', 'I', 'M'};

// The block at the head of an acquisition file: eight zero bytes, the u32 block size
// (the offset of item 0, whoever changes the block keeps the two equal), then either
// HEADER_MAGIC and the start of the recording as an OLE date, or at once the legacy
// form's comment text.
struct AcquisitionHeader {
  uint32_t blockSize = 0;
  bool magic = false;    // HEADER_MAGIC at bytes 12 to 15 of at least 24 bytes
  double startDate = 0;  // with the magic: the OLE date at bytes 16 to 23

  // From the leading bytes of a file; none when there are fewer than 12 or bytes 0 to
  // 7 are not all zero: the items then start at byte 0.
  static std::optional<AcquisitionHeader> Parse(const void* bytes, size_t count);
  // The magic in a block of 24 bytes or more: its text starts at 24, any other
  // block's at 12.
  bool IsCurrentForm() const { return magic && blockSize >= ACQUISITION_HEADER_SIZE; }
  // The 24 bytes of the current form with the magic, else the 12-byte legacy lead.
  QByteArray Make() const;
};
