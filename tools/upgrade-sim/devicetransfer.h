#pragma once

#include "transferplan.h"

#include <string>

namespace Standin {
class DeviceStandin;
}

namespace Sim {

// The device side at work after an accepted start: sends the planned
// progress reports and, on success, reports the package's version as its own
// from then on.
class DeviceTransfer
{
public:
    DeviceTransfer(Standin::DeviceStandin& device, TransferPlan plan, int paceMs);

    // Sends every report; the last one's status (2 or 3).
    int32_t run(const std::string& installedVersion);

private:
    Standin::DeviceStandin& device;
    TransferPlan plan;
    int paceMs;
};

} // namespace Sim
