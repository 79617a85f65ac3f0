#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>

// Address-space limits cannot coexist with AddressSanitizer's shadow memory.
#if defined(__SANITIZE_ADDRESS__)
#define UPGRADE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UPGRADE_TEST_ASAN 1
#endif
#endif

// Peak resident memory of this process so far.
inline long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Caps this process's address space at what it uses now plus `headroomMiB`,
// so a request that reserves more than that meets std::bad_alloc. For use
// inside death-test children only.
inline void limitAddressSpace(long headroomMiB)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long kib = 0;
    while (status >> key) {
        if (key == "VmSize:") {
            status >> kib;
            break;
        }
    }
    const rlim_t limit = static_cast<rlim_t>(kib + headroomMiB * 1024) * 1024;
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
}

// Leaves this process no block of 1 MiB or more: the address space capped,
// and every such block that earlier tests freed into the heap taken, so a
// request for that much fails whatever ran before. Death-test children only.
inline void takeAllLargeBlocks()
{
    limitAddressSpace(1);
    static void* volatile taken;
    while ((taken = std::malloc(1 << 20)) != nullptr) { }
}
