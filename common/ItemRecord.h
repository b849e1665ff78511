#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// One captured byte as stored in an acquisition file and carried in messages.
// The file format is little-endian; the struct relies on a little-endian host so
// that items can be written and read as raw 6-byte blocks.
static_assert(std::endian::native == std::endian::little, "ItemRecord assumes a little-endian host");

#pragma pack(push, 1)
struct ItemRecord {
  uint8_t flags = 0;
  uint8_t data = 0;
  uint32_t time = 0;  // running time in TIMESTAMP_TICK units
};
#pragma pack(pop)
static_assert(sizeof(ItemRecord) == 6, "ItemRecord is 6 bytes on disk");

inline constexpr uint32_t ITEM_SIZE = 6;

// Flag bits, the same byte in the device record and the item.
inline constexpr uint8_t ITEM_FLAG_SLAVE = 0x80;        // sent by the peripheral side (A <--- B)
inline constexpr uint8_t ITEM_FLAG_TIMELEN_MASK = 0x60; // length code n of the time field
inline constexpr uint8_t ITEM_FLAG_ERR_F = 0x10;        // shown as " F"
inline constexpr uint8_t ITEM_FLAG_ERR_O = 0x08;        // shown as " O"
inline constexpr uint8_t ITEM_FLAG_ERR_P = 0x04;        // shown as " P"
inline constexpr uint8_t ITEM_FLAG_ERRORS = ITEM_FLAG_ERR_F | ITEM_FLAG_ERR_O | ITEM_FLAG_ERR_P;
inline constexpr uint8_t ITEM_FLAG_DELTA = 0x02;        // time value is a delta
inline constexpr uint8_t ITEM_FLAG_MODE = 0x01;         // ninth (mode) bit

// Seconds per time-stamp tick.
inline constexpr double TIMESTAMP_TICK = 1.3028e-05;

// Item index "none" in every field that holds an item index.
inline constexpr uint32_t ITEM_NONE = 0xFFFFFFFFu;

inline ItemRecord itemFromBytes(const uint8_t* p) {
  ItemRecord r;
  std::memcpy(&r, p, sizeof r);
  return r;
}

inline double itemSeconds(const ItemRecord& r) { return static_cast<double>(r.time) * TIMESTAMP_TICK; }
