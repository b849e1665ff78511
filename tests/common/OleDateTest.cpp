#include <gtest/gtest.h>

#include <cmath>

#include "common/ItemRecord.h"
#include "common/OleDate.h"

TEST(OleDate, KnownDatesConvertBothWays) {
  EXPECT_EQ(OleDate::format(45000.5), QStringLiteral("15.03.2023 - 12:00:00"));
  EXPECT_EQ(OleDate::format(0.0), QStringLiteral("30.12.1899 - 00:00:00"));
  EXPECT_EQ(OleDate::format(2.25), QStringLiteral("01.01.1900 - 06:00:00"));
  // Before the epoch the fraction still counts forward from midnight.
  EXPECT_EQ(OleDate::format(-1.25), QStringLiteral("29.12.1899 - 06:00:00"));

  const QDateTime t(QDate(2023, 3, 15), QTime(12, 0, 0), Qt::LocalTime);
  EXPECT_DOUBLE_EQ(OleDate::fromDateTime(t), 45000.5);
  const QDateTime before(QDate(1899, 12, 29), QTime(6, 0, 0), Qt::LocalTime);
  EXPECT_DOUBLE_EQ(OleDate::fromDateTime(before), -1.25);
}

TEST(OleDate, FractionsOfASecondAreCutNotRounded) {
  for (int ms : {0, 400, 500, 999}) {
    const QDateTime late(QDate(2016, 5, 30), QTime(23, 59, 59, ms), Qt::LocalTime);
    EXPECT_EQ(OleDate::format(OleDate::fromDateTime(late)), QStringLiteral("30.05.2016 - 23:59:59")) << ms;
  }
}

TEST(OleDate, GarbageDatesGiveNoText) {
  EXPECT_TRUE(OleDate::format(std::nan("")).isEmpty());
  EXPECT_TRUE(OleDate::format(1e300).isEmpty());
  EXPECT_TRUE(OleDate::format(-1e300).isEmpty());
  EXPECT_FALSE(OleDate::toDateTime(INFINITY).isValid());
}

TEST(ItemRecord, LayoutIsTheSixByteFileForm) {
  const uint8_t bytes[6] = {0x83, 0x10, 0xF7, 0x03, 0x00, 0x00};
  const ItemRecord r = itemFromBytes(bytes);
  EXPECT_EQ(r.flags, 0x83);
  EXPECT_EQ(r.data, 0x10);
  EXPECT_EQ(uint32_t{r.time}, 1015u);  // a copy: the packed field cannot be bound to a reference
  EXPECT_NEAR(itemSeconds(r), 1015 * 1.3028e-05, 1e-12);
}
