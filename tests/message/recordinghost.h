#pragma once

#include "host/icommanddispatcher.h"
#include "host/ieventdispatcher.h"
#include "host/ihostapi.h"
#include "message/messagehandler.h"
#include "standin/host/standinmessage.h"

#include <QByteArray>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// One call the component made on a host service, in call order.
struct HostCall
{
    std::string op;                 // create, send, release, post, sendEvent, registerCommand, subscribe
    int id = 0;
    std::string sender;
    const void* object = nullptr;   // the message handed over, or what a released slot held
    int number = 0;                 // send flags, event mode
    QByteArray bytes;               // payload copied by create
};

// A host double for the message handler alone, both dispatchers in one
// object: every call is logged in order and what send() leaves in the reply
// slot is scripted. Messages and replies stay alive until the double dies,
// so addresses still compare after their release.
class RecordingHost : public krt::IHostApi, public krt::ICommandDispatcher, public krt::IEventDispatcher
{
public:
    virtual ~RecordingHost() = default;

    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void reserved3() override { }
    void* lookup(const char* name) override
    {
        const std::string service = name;
        if (hidden.count(service))
            return nullptr;
        if (service == krt::CommandDispatcherService)
            return static_cast<krt::ICommandDispatcher*>(this);
        if (service == krt::EventDispatcherService)
            return static_cast<krt::IEventDispatcher*>(this);
        return nullptr;
    }

    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override
    {
        messages.push_back(std::make_unique<Standin::StandinMessage>(0, id, size, data, sender));
        log("create", id, messages.back().get(), size, sender, messages.back()->bytes());
        return messages.back().get();
    }
    void releaseMessage(void** slot) override { log("release", 0, *slot); }
    int send(krt::IMessage** request, krt::IReply** slot, int flags) override
    {
        log("send", (*request)->id(), *request, flags);
        if (reply) {
            replies.push_back(std::make_unique<Standin::StandinReply>(*reply));
            *slot = replies.back().get();
            lastReply = *slot;
        }
        return sendResult;
    }
    int registerCommand(int id, std::string sender) override
    {
        log("registerCommand", id, nullptr, 0, sender);
        return registerResult;
    }
    void post(krt::IMessage** message) override { log("post", (*message)->id(), *message); }
    void send(krt::IMessage** message, int mode) override
    {
        log("sendEvent", (*message)->id(), *message, mode);
    }
    int subscribe(int id, std::string sender) override
    {
        log("subscribe", id, nullptr, 0, sender);
        return registerResult;
    }

    void hide(const std::string& service) { hidden.insert(service); }
    std::vector<std::string> ops() const
    {
        std::vector<std::string> names;
        for (const HostCall& call : calls)
            names.push_back(call.op);
        return names;
    }

    std::vector<HostCall> calls;
    std::optional<QByteArray> reply;    // what send() leaves in the slot; nothing leaves it null
    const krt::IReply* lastReply = nullptr;
    int sendResult = 0;
    int registerResult = 0;

private:
    void log(const char* op, int id, const void* object, int number = 0, std::string sender = {},
             QByteArray bytes = {})
    {
        calls.push_back({op, id, std::move(sender), object, number, std::move(bytes)});
    }

    std::set<std::string> hidden;
    std::vector<std::unique_ptr<Standin::StandinMessage>> messages;
    std::vector<std::unique_ptr<Standin::StandinReply>> replies;
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
