#include <gtest/gtest.h>

#include "common/SystemTypes.h"
#include "display/CellGeometry.h"

using namespace cellgeometry;

namespace {

TEST(CellGeometry, PartialColumnCountsFromElevenPixels) {
  EXPECT_EQ(gridColumns(390), 19u);
  EXPECT_EQ(gridColumns(391), 20u);
  EXPECT_EQ(gridColumns(10), 0u);
  EXPECT_EQ(gridColumns(11), 1u);
  // Cell 19 wraps to the second row at 390 and ends the first row at 391.
  EXPECT_EQ(gridPlace(19, 390), QRect(5, 35, 20, 30));
  EXPECT_EQ(gridPlace(19, 391), QRect(385, 5, 20, 30));
}

TEST(CellGeometry, NeededCellsPerMode) {
  EXPECT_EQ(neededCellCount(DISPLAY_HEX, 400, 300), 10u * 20u);  // (300+19)/30 rows, (400+9)/20 cols
  EXPECT_EQ(neededCellCount(DISPLAY_ASCII, 391, 41), 2u * 20u);
  EXPECT_EQ(neededCellCount(DISPLAY_LIST, 400, 300), (300u + 19u) / 16u);
  EXPECT_EQ(neededCellCount(DISPLAY_HEX, 1920, 1080), 36u * 96u);
}

TEST(CellGeometry, ListRowsSpanTheClientWidth) {
  EXPECT_EQ(listPlace(0, 600), QRect(5, 5, 590, 16));
  EXPECT_EQ(listPlace(3, 600), QRect(5, 53, 590, 16));
  EXPECT_EQ(rowLength(DISPLAY_LIST, 600), 1u);
  EXPECT_EQ(rowLength(DISPLAY_HEX, 400), 20u);
}

TEST(CellGeometry, NoColumnPutsCellsInTheFirstColumn) { EXPECT_EQ(gridPlace(2, 5), QRect(5, 65, 20, 30)); }

TEST(CellGeometry, ModeBitsTakeGridFirst) {
  EXPECT_EQ(displayModeOf(DISPLAY_LIST | DISPLAY_ASCII), DISPLAY_ASCII);
  EXPECT_EQ(displayModeOf(0x80000001u), 0u);
  EXPECT_TRUE(isListMode(DISPLAY_LIST | 0x100));
}

}  // namespace
