#pragma once

#include "host/imessagecenter.h"

namespace Standin {

class StandinHost;

// The host's message centre: builds replies that pass to the host.
class MessageCenter : public krt::IMessageCenter
{
public:
    explicit MessageCenter(StandinHost& host)
        : host(host)
    {
    }
    virtual ~MessageCenter() = default;

    krt::IMessage* createMessage(int id, const char* sender, int size, const void* data, int flags) override;

private:
    StandinHost& host;
};

} // namespace Standin
