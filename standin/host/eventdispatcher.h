#pragma once

#include "host/ieventdispatcher.h"

namespace Standin {

class StandinHost;

// The host's event dispatcher; forwards to the stand-in host.
class EventDispatcher : public krt::IEventDispatcher
{
public:
    explicit EventDispatcher(StandinHost& host)
        : host(host)
    {
    }
    virtual ~EventDispatcher() = default;

    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override;
    void reserved1() override { }
    void post(krt::IMessage** message) override;
    void reserved3() override { }
    void send(krt::IMessage** message, int mode) override;
    int subscribe(int id, std::string sender) override;

private:
    StandinHost& host;
};

} // namespace Standin
