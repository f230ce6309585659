#pragma once

#include <QDateTime>
#include <QString>

namespace zqb {

// A local time in ISO 8601 with milliseconds and its offset from UTC ("2024-05-01T12:00:00.000+02:00"),
// so a file read elsewhere still says when.
inline QString IsoLocalTime(const QDateTime& at)
{
    const QDateTime local = at.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

}  // namespace zqb
