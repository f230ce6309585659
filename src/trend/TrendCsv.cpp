#include "trend/TrendCsv.h"

#include <QDateTime>

#include "platform/IsoTime.h"
#include "trend/TrendSeries.h"

namespace zqb {

QByteArray TrendCsv(const std::deque<TrendSample>& samples)
{
    QByteArray csv = TrendCsvHeader + "\n";
    for (const TrendSample& sample : samples) {
        csv += IsoLocalTime(QDateTime::fromMSecsSinceEpoch(sample.atMs)).toLatin1();
        for (TrendSeries series : AllTrendSeries) {
            csv += ',';
            if (const std::optional<double> value = SeriesValue(sample, series))
                csv += QByteArray::number(static_cast<qint64>(*value));
        }
        csv += '\n';
    }
    return csv;
}

}  // namespace zqb
