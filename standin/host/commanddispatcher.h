#pragma once

#include "host/icommanddispatcher.h"

namespace Standin {

class StandinHost;

// The host's command dispatcher; forwards to the stand-in host.
class CommandDispatcher : public krt::ICommandDispatcher
{
public:
    explicit CommandDispatcher(StandinHost& host)
        : host(host)
    {
    }
    virtual ~CommandDispatcher() = default;

    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override;
    void releaseMessage(void** slot) override;
    int send(krt::IMessage** request, krt::IReply** reply, int flags) override;
    void reserved3() override { }
    int registerCommand(int id, std::string sender) override;

private:
    StandinHost& host;
};

} // namespace Standin
