#pragma once

#include <QDateTime>
#include <QString>

// OLE Automation dates: days since 30 December 1899 00:00 as a double, the fraction
// being the time of day, in local time. Before the epoch the integer part counts
// days back while the fraction still counts forward from midnight (-1.25 is
// 29 December 1899 06:00), as the format defines it.
namespace OleDate {

// Local date-time to an OLE date, cut to the whole second.
double fromDateTime(const QDateTime& local);
// The current local time, whole seconds.
double now();
// OLE date to a local date-time; invalid for NaN or out-of-range values.
QDateTime toDateTime(double oleDate);
// "%d.%m.%Y - %H:%M:%S", e.g. "15.03.2023 - 12:00:00"; empty for an invalid date.
QString format(double oleDate);

}  // namespace OleDate
