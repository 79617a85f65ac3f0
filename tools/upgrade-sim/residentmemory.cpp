#include "residentmemory.h"

#include <QFile>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define UPGRADE_SIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UPGRADE_SIM_ASAN 1
#endif
#endif

#ifdef UPGRADE_SIM_ASAN
// From the sanitizer runtime; GCC installs no header that declares it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace Sim {

qint64 ResidentMemory::kib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // "VmRSS:     41236 kB"
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 ResidentMemory::heapKib()
{
#ifdef UPGRADE_SIM_ASAN
    // AddressSanitizer replaces malloc; glibc's figures would stay at zero.
    return qint64(__sanitizer_get_current_allocated_bytes()) / 1024;
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd) / 1024;
#endif
}

bool ResidentMemory::addressSanitized()
{
#ifdef UPGRADE_SIM_ASAN
    return true;
#else
    return false;
#endif
}

} // namespace Sim
