#include "trend/TrendHistory.h"

#include <algorithm>

namespace zqb {

void TrendHistory::Append(const TrendSample& sample)
{
    if (!samples_.empty()) {
        if (sample.atMs < samples_.back().atMs) samples_.clear();
        else if (sample.gap && samples_.back().gap) return;
    }
    samples_.push_back(sample);
    while (samples_.size() > MaxSamples || samples_.front().atMs < sample.atMs - KeptMs) samples_.pop_front();
    emit appended();
}

std::vector<TrendSample> TrendHistory::Covering(qint64 fromMs, qint64 toMs) const
{
    const auto first = std::lower_bound(samples_.begin(), samples_.end(), fromMs,
                                        [](const TrendSample& s, qint64 at) { return s.atMs < at; });
    const auto last = std::upper_bound(samples_.begin(), samples_.end(), toMs,
                                       [](qint64 at, const TrendSample& s) { return at < s.atMs; });
    auto begin = first;
    if (begin != samples_.begin()) --begin;
    if (begin >= last) return {};
    return {begin, last};
}

}  // namespace zqb
