#pragma once

namespace krt {

class IHostApi;

// Process-wide holder of the host's API object. Three pointer-sized fields,
// all null until pluginit() stores the host in the first.
struct api
{
    IHostApi* host = nullptr;
    void* reserved1 = nullptr;
    void* reserved2 = nullptr;

    static api& get();
};

static_assert(sizeof(api) == 3 * sizeof(void*), "krt::api is three pointer-sized fields");

} // namespace krt
