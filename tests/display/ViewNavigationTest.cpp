#include <gtest/gtest.h>

#include <string>

#include "common/StatusCodes.h"
#include "common/SystemTypes.h"
#include "display/CASCII.h"
#include "display/CellGeometry.h"
#include "display/ViewNavigation.h"

using namespace viewnav;
using namespace cellgeometry;

namespace {

// The steps, realtime advances and titles are tested on the real view; here the edges it cannot reach.
TEST(ViewNavigation, StepsNearTheTopOfTheIndexRangeDoNotWrap) {
  EXPECT_EQ(firstItemForKey(VK_NEXT, 0xFFFFFF00u, 0x200, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(firstItemForKey(VK_DOWN, 0xFFFFFFEFu, 0x200, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_FALSE(firstItemForKey(0x41, 300, 100, 20, 950));
  EXPECT_EQ(firstItemForWheel(-120 * 1000, 0xFFFFFF00u, 20, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_FALSE(firstItemForWheel(0, 5, 1, 1000));  // a zero turn is no line
  EXPECT_EQ(thumbTarget(10000, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(thumbPosition(0xFFFFFFF0u, 0xFFFFFFF0u), 10000u);
  EXPECT_EQ(thumbPosition(3, 0), 0u);
  EXPECT_EQ(statusTitle(STATUS_HALTED, 10, 4000000000u),
            QStringLiteral("Halted: 10 / 4000000000 - Analyzer"));
  EXPECT_EQ(statusTitle(9, 1, 1), QString());
}

// No limit is a multiple of 6: the first count whose bytes reach it restarts.
TEST(ViewNavigation, FileSizeLimitIsReachedAtItsBytes) {
  const uint32_t bytes[] = {102400, 512000, 1024000, 5120000, 10240000};
  for (uint32_t setting = 1; setting <= 5; ++setting) {
    const uint32_t limit = bytes[setting - 1];
    EXPECT_EQ(fileSizeLimit(setting), limit);
    EXPECT_FALSE(reachesFileSizeLimit(setting, limit / 6)) << setting;
    EXPECT_TRUE(reachesFileSizeLimit(setting, limit / 6 + 1)) << setting;
  }
  EXPECT_FALSE(reachesFileSizeLimit(0, 0xFFFFFFFFu));
  EXPECT_FALSE(reachesFileSizeLimit(6, 0xFFFFFFFFu));
}

// Client sizes are tested on the real view; here the sizes it never gets.
TEST(CellGeometry, EdgesOfTheLayout) {
  EXPECT_EQ(gridPlace(2, 5), QRect(5, 65, 20, 30));  // no column: all in the first
  EXPECT_EQ(neededCellCount(DISPLAY_HEX, 1920, 1080), 36u * 96u);
  EXPECT_EQ(displayModeOf(DISPLAY_LIST | DISPLAY_ASCII), DISPLAY_ASCII);
  EXPECT_EQ(displayModeOf(0x80000001u), 0u);
  EXPECT_TRUE(isListMode(DISPLAY_LIST | 0x100));
}

// Control characters, space and DEL have three-wide names, every other byte is itself.
TEST(CASCII, NamesOfEveryByte) {
  const std::string controls =
      "nulsohstxetxeotenqackbel bs ht lf vt ff cr so sidledc1dc2dc3dc4naksynetbcaneomsubesc fs gs rs us sp";
  CASCII ascii;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string expected = b <= 32    ? controls.substr(3 * b, 3)
                                 : b == 127 ? "del"
                                            : std::string(1, char(b));
    EXPECT_EQ(ascii.GetName(static_cast<uint8_t>(b)), expected) << "byte " << b;
  }
}

}  // namespace
