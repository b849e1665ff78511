#include <gtest/gtest.h>

#include "common/SystemTypes.h"
#include "display/CellGeometry.h"

using namespace cellgeometry;

namespace {

// Client sizes are tested on the real view; here the sizes it never gets.
TEST(CellGeometry, EdgesOfTheLayout) {
  EXPECT_EQ(gridColumns(10), 0u);
  EXPECT_EQ(gridColumns(11), 1u);
  EXPECT_EQ(gridPlace(2, 5), QRect(5, 65, 20, 30));  // no column: all in the first
  EXPECT_EQ(neededCellCount(DISPLAY_HEX, 1920, 1080), 36u * 96u);
  EXPECT_EQ(displayModeOf(DISPLAY_LIST | DISPLAY_ASCII), DISPLAY_ASCII);
  EXPECT_EQ(displayModeOf(0x80000001u), 0u);
  EXPECT_TRUE(isListMode(DISPLAY_LIST | 0x100));
}

}  // namespace
