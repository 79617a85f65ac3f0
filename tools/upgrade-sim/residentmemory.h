#pragma once

#include <QtGlobal>

namespace Sim {

// Resident memory of this process as the kernel counts it.
class ResidentMemory {
public:
    // VmRSS in KiB; -1 when /proc is not there.
    static qint64 kib();
};

} // namespace Sim
