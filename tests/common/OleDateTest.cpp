#include <gtest/gtest.h>

#include <cmath>

#include "common/OleDate.h"
#include "support/TestSupport.h"

TEST(OleDate, KnownDatesConvertBothWaysFractionsAreCutAndGarbageGivesNoText) {
  // Before the epoch the fraction still counts forward from midnight.
  const std::pair<double, const char*> dates[] = {{45000.5, "15.03.2023 - 12:00:00"}, {0.0, "30.12.1899 - 00:00:00"},
                                                  {2.25, "01.01.1900 - 06:00:00"}, {-1.25, "29.12.1899 - 06:00:00"}};
  for (const auto& [date, text] : dates) {
    EXPECT_EQ(OleDate::format(date), QString(text));
    EXPECT_DOUBLE_EQ(OleDate::fromDateTime(QDateTime::fromString(text, "dd.MM.yyyy - HH:mm:ss")), date) << text;
  }
  for (double garbage : {std::nan(""), 1e300, -1e300}) EXPECT_TRUE(OleDate::format(garbage).isEmpty());
  EXPECT_FALSE(OleDate::toDateTime(INFINITY).isValid());
  for (int ms : {0, 400, 500, 999}) {  // fractions of a second are cut, not rounded
    const QDateTime late(QDate(2016, 5, 30), QTime(23, 59, 59, ms), Qt::LocalTime);
    EXPECT_EQ(OleDate::format(OleDate::fromDateTime(late)), QStringLiteral("30.05.2016 - 23:59:59")) << ms;
  }
}

// A recording date is calendar arithmetic on the stored value: no time zone takes part, so the hour that a
// daylight-saving change skips or repeats is shown like any other.
TEST(OleDate, HoursThatDaylightSavingSkipsOrRepeatsAreShownAsTheyCount) {
  struct Case {
    const char* zone;
    double start;
    const char* texts[3];  // at the start, one hour and two hours later
  };
  const Case cases[] = {
      {"Europe/Berlin", 45011.0625, {"26.03.2023 - 01:30:00", "26.03.2023 - 02:30:00", "26.03.2023 - 03:30:00"}},
      {"America/New_York", 45235.0 + 0.5 / 24, {"05.11.2023 - 00:30:00", "05.11.2023 - 01:30:00", "05.11.2023 - 02:30:00"}},
  };
  for (const Case& c : cases) {
    testsupport::ScopedTimeZone zone(c.zone);
    for (int hours = 0; hours < 3; ++hours) {
      EXPECT_EQ(OleDate::format(c.start + hours / 24.0).toStdString(), c.texts[hours]) << c.zone;
      const QDateTime at = OleDate::toDateTime(c.start + hours / 24.0);
      EXPECT_DOUBLE_EQ(OleDate::fromDateTime(at), c.start + hours / 24.0) << c.zone << " " << hours;
    }
  }
}
