#include "transferplan.h"

#include <algorithm>
#include <numeric>

namespace Sim {

TransferPlan::TransferPlan(std::vector<qint64> imageSizes, int step, int failAt)
    : sizes(std::move(imageSizes))
    , step(std::max(step, 1))
    , failAt(failAt)
{
    if (sizes.empty())
        sizes.push_back(1);
}

std::vector<int32_t> TransferPlan::partsAt(int percent) const
{
    const qint64 total = std::accumulate(sizes.begin(), sizes.end(), qint64(0));
    const qint64 done = total * percent / 100;
    std::vector<int32_t> parts;
    qint64 start = 0;
    for (const qint64 size : sizes) {
        const qint64 sent = std::clamp<qint64>(done - start, 0, size);
        const bool complete = sent == size && done >= start + size;
        parts.push_back(size == 0 ? (complete ? 100 : 0) : int32_t(sent * 100 / size));
        start += size;
    }
    return parts;
}

std::vector<PlannedReport> TransferPlan::reports() const
{
    std::vector<PlannedReport> plan;
    for (int percent = step; percent < 100; percent += step) {
        if (failAt >= 0 && percent >= failAt)
            break;
        plan.push_back({1, percent, partsAt(percent)});
    }
    if (failAt >= 0)
        plan.push_back({3, failAt, partsAt(failAt)});
    else
        plan.push_back({2, 100, partsAt(100)});
    return plan;
}

} // namespace Sim
