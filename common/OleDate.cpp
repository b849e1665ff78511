#include "common/OleDate.h"

#include <cmath>

namespace {
const QDate OLE_EPOCH(1899, 12, 30);
constexpr double SECONDS_PER_DAY = 86400.0;
// Far outside anything a recording can carry; keeps the conversions in range.
constexpr double MAX_ABS_DAYS = 2958465.0;  // 31 Dec 9999
}  // namespace

namespace OleDate {

double fromDateTime(const QDateTime& wall) {
  const qint64 days = OLE_EPOCH.daysTo(wall.date());
  // Cut, not rounded: half a second before midnight still belongs to its own day.
  const int secs = wall.time().msecsSinceStartOfDay() / 1000;
  const double frac = static_cast<double>(secs) / SECONDS_PER_DAY;
  if (days >= 0) return static_cast<double>(days) + frac;
  // Negative dates: integer part counts back, fraction counts forward.
  return static_cast<double>(days) - frac;
}

double now() { return fromDateTime(QDateTime::currentDateTime()); }

QDateTime toDateTime(double oleDate) {
  if (!std::isfinite(oleDate) || std::fabs(oleDate) > MAX_ABS_DAYS) return {};
  const double whole = std::trunc(oleDate);
  const double frac = std::fabs(oleDate - whole);
  qint64 secs = std::llround(frac * SECONDS_PER_DAY);
  qint64 days = static_cast<qint64>(whole);
  if (secs >= 86400) {  // rounding carried into the next day
    secs -= 86400;
    days += (oleDate < 0) ? -1 : 1;
  }
  const QDate d = OLE_EPOCH.addDays(days);
  const QTime tm = QTime(0, 0).addSecs(static_cast<int>(secs));
  return QDateTime(d, tm, Qt::UTC);
}

QString format(double oleDate) {
  const QDateTime t = toDateTime(oleDate);
  if (!t.isValid()) return {};
  return t.toString(QStringLiteral("dd.MM.yyyy - HH:mm:ss"));
}

}  // namespace OleDate
