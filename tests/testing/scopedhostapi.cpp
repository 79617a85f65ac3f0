#include "testing/scopedhostapi.h"

#include "host/api.h"

namespace testing_support {

ScopedHostApi::ScopedHostApi(krt::IHostApi* host) : previous(krt::api::get().host)
{
    krt::api::get().host = host;
}

ScopedHostApi::~ScopedHostApi()
{
    krt::api::get().host = previous;
}

} // namespace testing_support
