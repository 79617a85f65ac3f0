#pragma once

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace Sim {

// One progress report of the device side.
struct PlannedReport
{
    int32_t status = 1; // 1 running, 2 succeeded, 3 failed
    int32_t progress = 0; // overall percent
    std::vector<int32_t> parts; // percent of each image

    bool operator==(const PlannedReport& other) const
    {
        return status == other.status && progress == other.progress && parts == other.parts;
    }
};

// How the simulated device moves through a package: the images are sent one
// after another, each a part of the report, the overall progress going up by
// a fixed step; it ends with success, or with a failure at a chosen percent.
class TransferPlan
{
public:
    // Sizes of the images (an empty list counts as one image); failAt -1
    // never fails.
    TransferPlan(std::vector<qint64> imageSizes, int step, int failAt);

    std::vector<PlannedReport> reports() const;
    // Percent of each image when `percent` of all bytes have gone over.
    std::vector<int32_t> partsAt(int percent) const;

private:
    std::vector<qint64> sizes;
    int step;
    int failAt;
};

} // namespace Sim
