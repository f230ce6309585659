#pragma once

#include <deque>

#include <QByteArray>

#include "trend/TrendHistory.h"

namespace zqb {

// The history as CSV: a header line, then one line per sample with its local time in ISO 8601
// and one column per series. A lost link is a line whose value columns are empty, as is the
// signal column of a sample without a reported signal.
QByteArray TrendCsv(const std::deque<TrendSample>& samples);

inline const QByteArray TrendCsvHeader = "time,dac_code,di0,di1,do0,signal_dbm";

}  // namespace zqb
