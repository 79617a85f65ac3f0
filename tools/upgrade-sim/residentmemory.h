#pragma once

#include <QtGlobal>

namespace Sim {

// Memory of this process: what the kernel keeps resident, and what the
// heap holds in live blocks.
class ResidentMemory
{
public:
    // VmRSS in KiB; -1 when /proc is not there.
    static qint64 kib();

    // Bytes in live heap blocks, in KiB, as the allocator counts them (the
    // sanitizer's allocator where one is linked in). Unlike VmRSS it does
    // not move with the allocator's own caches, an emulator's code cache or
    // pages the kernel has not yet taken back, so growth here is growth of
    // what the program keeps.
    static qint64 heapKib();

    // Whether AddressSanitizer's allocator serves this build: its quarantine
    // and shadow memory then count as resident too.
    static bool addressSanitized();
};

} // namespace Sim
