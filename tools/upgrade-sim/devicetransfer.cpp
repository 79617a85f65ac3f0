#include "devicetransfer.h"

#include "standin/partners/devicestandin.h"

#include <QThread>

namespace Sim {

DeviceTransfer::DeviceTransfer(Standin::DeviceStandin& device, TransferPlan plan, int paceMs)
    : device(device)
    , plan(std::move(plan))
    , paceMs(paceMs)
{
}

int32_t DeviceTransfer::run(const std::string& installedVersion)
{
    int32_t status = 0;
    for (const PlannedReport& report : plan.reports()) {
        if (paceMs > 0)
            QThread::msleep(ulong(paceMs));
        // The new firmware runs before the device says so.
        if (report.status == 2 && !installedVersion.empty())
            device.script().firmwareVersion = installedVersion;
        device.sendProgress(report.status, report.progress, report.parts);
        status = report.status;
    }
    return status;
}

} // namespace Sim
