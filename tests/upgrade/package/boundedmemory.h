#pragma once

#include <sys/resource.h>

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

// Caps this process's address space at what it uses now plus `headroomMiB`,
// so a read that reserves more than that fails with std::bad_alloc. For use
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
