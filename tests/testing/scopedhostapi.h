#pragma once

#include "host/api.h"

namespace testing_support {

// Points the static core's krt::api holder at a host for one scope and puts
// the previous value back afterwards, so tests that construct components
// directly do not leak a dangling host into the next test.
class ScopedHostApi
{
public:
    explicit ScopedHostApi(krt::IHostApi* host)
        : previous(krt::api::get().host)
    {
        krt::api::get().host = host;
    }
    ~ScopedHostApi() { krt::api::get().host = previous; }
    ScopedHostApi(const ScopedHostApi&) = delete;
    ScopedHostApi& operator=(const ScopedHostApi&) = delete;

private:
    krt::IHostApi* previous;
};

} // namespace testing_support
