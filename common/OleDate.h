#pragma once

#include <QDateTime>
#include <QString>

// OLE Automation dates: days since 30 December 1899 00:00 as a double, the fraction
// being the time of day on the wall clock. Before the epoch the integer part counts
// days back while the fraction still counts forward from midnight (-1.25 is
// 29 December 1899 06:00), as the format defines it. A date is a calendar value: no
// time zone takes part, so adding hours runs through a daylight-saving change as
// plain arithmetic.
namespace OleDate {

// The date and wall time of a date-time, as they read, to an OLE date, cut to the
// whole second.
double fromDateTime(const QDateTime& wall);
// The current local time, whole seconds.
double now();
// OLE date to a date-time without time zone (in UTC, which has no gaps); invalid for
// NaN or out-of-range values.
QDateTime toDateTime(double oleDate);
// "%d.%m.%Y - %H:%M:%S", e.g. "15.03.2023 - 12:00:00"; empty for an invalid date.
QString format(double oleDate);

}  // namespace OleDate
