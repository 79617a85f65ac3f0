#pragma once

namespace krt {
class IHostApi;
}

namespace testing_support {

// Points the static core's krt::api holder at a host for one scope and puts
// the previous value back afterwards, so tests that construct components
// directly do not leak a dangling host into the next test.
class ScopedHostApi
{
public:
    explicit ScopedHostApi(krt::IHostApi* host);
    ~ScopedHostApi();
    ScopedHostApi(const ScopedHostApi&) = delete;
    ScopedHostApi& operator=(const ScopedHostApi&) = delete;

private:
    krt::IHostApi* previous;
};

} // namespace testing_support
