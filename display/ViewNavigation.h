#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The arithmetic of moving through a file: keys, wheel, scroll bar, the realtime
// advance, the status title and the file-size limit. Item indexes are u32; every
// proportion goes through 64 bits.
namespace viewnav {

inline constexpr uint32_t SCROLL_RANGE = 10000;

// Virtual-key codes of the navigation keys.
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;

// Scroll-bar codes.
inline constexpr uint32_t SB_LINEUP = 0;
inline constexpr uint32_t SB_LINEDOWN = 1;
inline constexpr uint32_t SB_PAGEUP = 2;
inline constexpr uint32_t SB_PAGEDOWN = 3;
inline constexpr uint32_t SB_THUMBPOSITION = 4;
inline constexpr uint32_t SB_THUMBTRACK = 5;
inline constexpr uint32_t SB_TOP = 6;
inline constexpr uint32_t SB_BOTTOM = 7;
inline constexpr uint32_t SB_ENDSCROLL = 8;

// The first shown item never goes beyond this by scrolling.
uint32_t scrollLimit(uint32_t itemCount, uint32_t cellCount);

// The new first shown item for a page or line key (VK_PRIOR .. VK_DOWN but the
// arrows left/right), or nothing for any other key.
std::optional<uint32_t> firstItemForKey(uint32_t vk, uint32_t first, uint32_t cellCount, uint32_t rowLength,
                                        uint32_t limit);

// The first shown item after a wheel turn, or nothing when it stays.
std::optional<uint32_t> firstItemForWheel(int delta, uint32_t first, uint32_t rowLength, uint32_t limit);

// Thumb position of a first shown item, and the item a thumb position stands for.
uint32_t thumbPosition(uint32_t first, uint32_t itemCount);
uint32_t thumbTarget(uint32_t position, uint32_t itemCount);

// The first shown item after new items arrived while the screen was full: five
// rows on in the grid modes, or as many as the screen has when it has fewer (as
// many times as needed to bring the newest item on the screen), the last
// screenful in list mode.
uint32_t realtimeAdvance(bool listMode, uint32_t first, uint32_t itemCount, uint32_t cellCount,
                         uint32_t rowLength);

// Title text of a status code; empty for an unknown code.
QString statusTitle(uint32_t code, uint32_t first, uint32_t itemCount);

// Byte limit of a file-size limit choice; 0 for none.
uint64_t fileSizeLimit(uint32_t choice);
// True when a status count (items of the file being written) reaches the limit.
bool reachesFileSizeLimit(uint32_t choice, uint32_t count);

}  // namespace viewnav
