#pragma once

#include "host/icommanddispatcher.h"
#include "host/ihostapi.h"
#include "host/imessagehandler.h"
#include "message/messagehandler.h"
#include "standin/host/standinhost.h"

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The stand-in host with its command dispatcher watched: what send() took
// and handed back is kept, and each release is noted before it is carried
// out, so the release order shows.
class WatchedHost : public krt::IHostApi, public krt::ICommandDispatcher
{
public:
    virtual ~WatchedHost() = default;

    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void reserved3() override { }
    void* lookup(const char* name) override
    {
        void* service = host.lookup(name);
        return service && service == host.lookup(krt::CommandDispatcherService)
            ? static_cast<krt::ICommandDispatcher*>(this)
            : service;
    }
    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override
    {
        return host.commands()->createMessage(id, size, data, sender);
    }
    void releaseMessage(void** slot) override
    {
        released.push_back(*slot);
        host.commands()->releaseMessage(slot);
    }
    int send(krt::IMessage** request, krt::IReply** reply, int flags) override
    {
        sent = *request;
        const int result = host.commands()->send(request, reply, flags);
        replied = *reply;
        return result;
    }
    int registerCommand(int id, std::string sender) override
    {
        return host.commands()->registerCommand(id, sender);
    }

    Standin::StandinHost host;
    const void* sent = nullptr;
    const void* replied = nullptr;
    std::vector<const void*> released;
};

// Answers every command it receives with the scripted bytes, or with no reply.
class Responder : public krt::IMessageHandler
{
public:
    explicit Responder(Standin::StandinHost& host)
        : host(host)
    {
        host.attach("responder", this);
    }
    ~Responder() override { host.detach("responder"); }

    const krt::IMessage* handleMessage(const krt::IMessage* message) override
    {
        if (!answer)
            return nullptr;
        return host.center()->createMessage(message->id(), "responder", answer->size(), answer->constData(),
                                            0);
    }

    std::optional<QByteArray> answer;

private:
    Standin::StandinHost& host;
};

// The smallest concrete component: counts initialise messages and lets a test
// register whatever handlers it likes.
class ProbeHandler : public LCD::Message::MessageHandler
{
public:
    explicit ProbeHandler(std::string componentName = "probe") { name = std::move(componentName); }
    void onInit() override { ++inits; }
    int inits = 0;
};

} // namespace testing_support
