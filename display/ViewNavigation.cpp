#include "display/ViewNavigation.h"

#include <algorithm>
#include <cstdlib>

#include "common/StatusCodes.h"

namespace viewnav {

uint32_t scrollLimit(uint32_t itemCount, uint32_t cellCount) {
  return itemCount > cellCount ? itemCount - cellCount : 0;
}

std::optional<uint32_t> firstItemForKey(uint32_t vk, uint32_t first, uint32_t cellCount, uint32_t rowLength,
                                        uint32_t limit) {
  const uint64_t f = first;
  switch (vk) {
    case VK_PRIOR:
      return first <= cellCount ? 0 : first - cellCount;
    case VK_NEXT:
      return static_cast<uint32_t>(std::min<uint64_t>(f + cellCount, limit));
    case VK_END:
      return limit;
    case VK_HOME:
      return 0;
    case VK_UP:
      return first <= rowLength ? 0 : first - rowLength;
    case VK_DOWN:
      return static_cast<uint32_t>(std::min<uint64_t>(f + rowLength, limit));
    default:
      return std::nullopt;
  }
}

std::optional<uint32_t> firstItemForWheel(int delta, uint32_t first, uint32_t rowLength, uint32_t limit) {
  // A part of a notch counts as a whole line.
  const uint64_t lines = (static_cast<uint64_t>(std::abs(delta)) + 119) / 120;
  const uint64_t items = lines * rowLength;
  if (delta > 0) {
    if (first == 0) return std::nullopt;
    return items >= first ? 0 : static_cast<uint32_t>(first - items);
  }
  if (first == limit) return std::nullopt;
  const auto next = static_cast<uint32_t>(std::min<uint64_t>(first + items, limit));
  if (next == first) return std::nullopt;  // a zero turn
  return next;
}

uint32_t thumbPosition(uint32_t first, uint32_t itemCount) {
  if (itemCount == 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(first) * SCROLL_RANGE / itemCount);
}

uint32_t thumbTarget(uint32_t position, uint32_t itemCount) {
  return static_cast<uint32_t>(static_cast<uint64_t>(itemCount) * position / SCROLL_RANGE);
}

uint32_t realtimeAdvance(bool listMode, uint32_t first, uint32_t itemCount, uint32_t cellCount,
                         uint32_t rowLength) {
  if (listMode) return itemCount - cellCount;
  // Five rows, but never more rows than the screen has: a longer step would pass
  // the newest item and leave the screen without any.
  const uint32_t row = std::max<uint32_t>(rowLength, 1);
  const uint64_t step = static_cast<uint64_t>(row) * std::clamp<uint32_t>(cellCount / row, 1, 5);
  uint64_t next = static_cast<uint64_t>(first) + step;
  if (itemCount > next + cellCount) {
    // A notification that brought more than five rows: go on by whole five-row
    // steps until the newest item is on the screen, so a fast recording is
    // followed and not shown ever later.
    const uint64_t behind = itemCount - cellCount - next;
    next += (behind + step - 1) / step * step;
  }
  return static_cast<uint32_t>(std::min<uint64_t>(next, 0xFFFFFFFEull));
}

QString statusTitle(uint32_t code, uint32_t first, uint32_t itemCount) {
  switch (code) {
    case STATUS_READY:
      return QStringLiteral("Ready - Analyzer");
    case STATUS_HALTED:
      return QString::asprintf("Halted: %u / %u - Analyzer", first, itemCount);
    case STATUS_RUNNING:
      return QString::asprintf("Running: %u / %u - Analyzer", first, itemCount);
    case STATUS_LOADED:
      return QString::asprintf("Loaded: %u / %u - Analyzer", first, itemCount);
    default:
      return QString();
  }
}

uint64_t fileSizeLimit(uint32_t choice) {
  switch (choice) {
    case 1:
      return 102400;
    case 2:
      return 512000;
    case 3:
      return 1024000;  // 1000 x 1024
    case 4:
      return 5120000;
    case 5:
      return 10240000;
    default:
      return 0;
  }
}

bool reachesFileSizeLimit(uint32_t choice, uint32_t count) {
  const uint64_t limit = fileSizeLimit(choice);
  return limit != 0 && static_cast<uint64_t>(count) * 6 >= limit;
}

}  // namespace viewnav
