#pragma once

#include <functional>

namespace krt {

class IMessageHandler;

// One component's registration record, read by the host.
struct ComponentInfo
{
    std::function<void*()> creator;
    std::function<void(void*)> deletor;
    std::function<IMessageHandler*(void*)> getMessageHandler;
    const char* componentId;
    const char* description;
};

// The plug-in description record returned by pluginfo().
struct PluginInfo
{
    const char* apiVersion;
    const ComponentInfo* const* components; // null-terminated
    const char* name;
    const char* version;
    const char* description;
};

static_assert(sizeof(PluginInfo) == 5 * sizeof(void*), "five pointer fields");

} // namespace krt
