#include <gtest/gtest.h>

#include "common/StatusCodes.h"
#include "display/ViewNavigation.h"

using namespace viewnav;

namespace {

TEST(ViewNavigation, PageAndLineKeysStayWithinTheFile) {
  const uint32_t cells = 100, row = 20, limit = scrollLimit(1050, cells);
  EXPECT_EQ(limit, 950u);
  EXPECT_EQ(firstItemForKey(VK_NEXT, 900, cells, row, limit), 950u);  // last screenful
  EXPECT_EQ(firstItemForKey(VK_NEXT, 100, cells, row, limit), 200u);
  EXPECT_EQ(firstItemForKey(VK_PRIOR, 100, cells, row, limit), 0u);
  EXPECT_EQ(firstItemForKey(VK_PRIOR, 101, cells, row, limit), 1u);
  EXPECT_EQ(firstItemForKey(VK_UP, 20, cells, row, limit), 0u);
  EXPECT_EQ(firstItemForKey(VK_UP, 45, cells, row, limit), 25u);
  EXPECT_EQ(firstItemForKey(VK_DOWN, 940, cells, row, limit), 950u);
  EXPECT_EQ(firstItemForKey(VK_END, 3, cells, row, limit), 950u);
  EXPECT_EQ(firstItemForKey(VK_HOME, 300, cells, row, limit), 0u);
  EXPECT_FALSE(firstItemForKey(0x41, 300, cells, row, limit));
  EXPECT_EQ(scrollLimit(50, 100), 0u);
  // Near the top of the index range the sums do not wrap.
  EXPECT_EQ(firstItemForKey(VK_NEXT, 0xFFFFFF00u, 0x200, row, 0xFFFFFFF0u), 0xFFFFFFF0u);
}

TEST(ViewNavigation, WheelCountsPartNotchesAsLines) {
  // Hex mode, client width 400: 20 items per row.
  EXPECT_EQ(firstItemForWheel(-120, 0, 20, 1000), 20u);
  EXPECT_EQ(firstItemForWheel(-1, 0, 20, 1000), 20u);
  EXPECT_EQ(firstItemForWheel(120, 100, 20, 1000), 80u);
  EXPECT_EQ(firstItemForWheel(240, 30, 20, 1000), 0u);
  EXPECT_FALSE(firstItemForWheel(120, 0, 20, 1000));
  EXPECT_FALSE(firstItemForWheel(-120, 1000, 20, 1000));
  EXPECT_EQ(firstItemForWheel(-360, 990, 20, 1000), 1000u);
  EXPECT_FALSE(firstItemForWheel(0, 5, 1, 1000));  // a zero turn is no line
}

TEST(ViewNavigation, ThumbProportionsDoNotOverflow) {
  EXPECT_EQ(thumbTarget(5000, 1000000), 500000u);
  EXPECT_EQ(thumbTarget(10000, 0xFFFFFFF0u), 0xFFFFFFF0u);
  EXPECT_EQ(thumbPosition(500000, 1000000), 5000u);
  EXPECT_EQ(thumbPosition(0xFFFFFFF0u, 0xFFFFFFF0u), 10000u);
  EXPECT_EQ(thumbPosition(3, 0), 0u);
}

TEST(ViewNavigation, RealtimeAdvanceFollowsTheNewestItem) {
  // Grid of 10 x 20 cells: five rows are 100 items.
  EXPECT_EQ(realtimeAdvance(false, 0, 200, 200, 20), 100u);
  EXPECT_EQ(realtimeAdvance(false, 0, 300, 200, 20), 100u);
  // A burst far beyond the screen: whole five-row steps until the newest item shows.
  const uint32_t next = realtimeAdvance(false, 0, 10050, 200, 20);
  EXPECT_EQ(next % 100, 0u);
  EXPECT_LE(10050 - next, 200u);
  EXPECT_GT(10050 - next, 100u);
  // List mode jumps to the last screenful.
  EXPECT_EQ(realtimeAdvance(true, 0, 10050, 60, 1), 9990u);
}

TEST(ViewNavigation, StatusTitles) {
  EXPECT_EQ(statusTitle(STATUS_READY, 1, 2), QStringLiteral("Ready - Analyzer"));
  EXPECT_EQ(statusTitle(STATUS_HALTED, 10, 4000000000u),
            QStringLiteral("Halted: 10 / 4000000000 - Analyzer"));
  EXPECT_EQ(statusTitle(STATUS_RUNNING, 0, 5), QStringLiteral("Running: 0 / 5 - Analyzer"));
  EXPECT_EQ(statusTitle(STATUS_LOADED, 0, 0), QStringLiteral("Loaded: 0 / 0 - Analyzer"));
  EXPECT_EQ(statusTitle(9, 1, 1), QString());
}

TEST(ViewNavigation, FileSizeLimitIsReachedAtItsBytes) {
  // No limit is a multiple of 6: the first count whose bytes reach it restarts.
  EXPECT_EQ(fileSizeLimit(3), 1024000u);
  EXPECT_TRUE(reachesFileSizeLimit(1, 102400 / 6 + 1));
  EXPECT_FALSE(reachesFileSizeLimit(1, 102400 / 6));  // 17066 items = 102396 bytes
  EXPECT_TRUE(reachesFileSizeLimit(2, 512000 / 6 + 1));
  EXPECT_FALSE(reachesFileSizeLimit(3, 170666));
  EXPECT_TRUE(reachesFileSizeLimit(3, 170667));
  EXPECT_TRUE(reachesFileSizeLimit(4, 5120000 / 6 + 1));
  EXPECT_TRUE(reachesFileSizeLimit(5, 10240000 / 6 + 1));
  EXPECT_FALSE(reachesFileSizeLimit(0, 0xFFFFFFFFu));
  EXPECT_FALSE(reachesFileSizeLimit(6, 0xFFFFFFFFu));
}

}  // namespace
