#pragma once

namespace krt {

// Service names the plug-in looks up.
constexpr const char* MessageCenterService = "krt_default_messagecenter";
constexpr const char* CommandDispatcherService = "commanddispatcher";
constexpr const char* EventDispatcherService = "eventdispatcher";

// The host's API object, handed to pluginit().
class IHostApi
{
public:
    // The first three slots belong to the host; the plug-in never calls them.
    virtual void reserved0() = 0;
    virtual void reserved1() = 0;
    virtual void reserved2() = 0;
    virtual void* lookup(const char* name) = 0;

protected:
    ~IHostApi() = default;
};

} // namespace krt
