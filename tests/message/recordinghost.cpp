#include "recordinghost.h"

#include "host/icommanddispatcher.h"
#include "host/ieventdispatcher.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "host/ireply.h"

namespace testing_support {

namespace {

class FakeMessage : public krt::IMessage
{
public:
    FakeMessage(int id, QByteArray bytes) : ident(id), payload(std::move(bytes)) { }
    int type() const override { return krt::MessageTypeCommand; }
    int id() const override { return ident; }
    int size() const override { return payload.size(); }
    const void* data() const override { return payload.isEmpty() ? nullptr : payload.constData(); }

private:
    int ident;
    QByteArray payload;
};

class FakeReply : public krt::IReply
{
public:
    explicit FakeReply(QByteArray bytes) : payload(std::move(bytes)) { }
    virtual ~FakeReply() = default;
    void reserved0() override { }
    const void* data() const override { return payload.constData(); }
    int size() const override { return payload.size(); }

private:
    QByteArray payload;
};

QByteArray copyOf(int size, const void* data)
{
    return size > 0 && data ? QByteArray(static_cast<const char*>(data), size) : QByteArray();
}

} // namespace

class RecordingHost::Commands : public krt::ICommandDispatcher
{
public:
    explicit Commands(RecordingHost& host) : host(host) { }
    virtual ~Commands() = default;

    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override
    {
        return host.makeMessage(id, size, data, sender);
    }
    void releaseMessage(void** slot) override
    {
        host.calls.push_back({slot ? "release" : "releaseNullSlot", 0, {}, {}, slot ? *slot : nullptr, 0});
    }
    int send(krt::IMessage** request, krt::IReply** reply, int flags) override
    {
        host.calls.push_back({"send", (*request)->id(), {}, {}, *request, flags});
        if (host.reply)
            *reply = host.makeReply();
        return host.sendResult;
    }
    void reserved3() override { }
    int registerCommand(int id, std::string sender) override
    {
        host.calls.push_back({"registerCommand", id, {}, sender, nullptr, 0});
        return host.registerResult;
    }

private:
    RecordingHost& host;
};

class RecordingHost::Events : public krt::IEventDispatcher
{
public:
    explicit Events(RecordingHost& host) : host(host) { }
    virtual ~Events() = default;

    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override
    {
        return host.makeMessage(id, size, data, sender);
    }
    void reserved1() override { }
    void post(krt::IMessage** message) override
    {
        host.calls.push_back({"post", (*message)->id(), {}, {}, *message, 0});
    }
    void reserved3() override { }
    void send(krt::IMessage** message, int mode) override
    {
        host.calls.push_back({"sendEvent", (*message)->id(), {}, {}, *message, mode});
    }
    int subscribe(int id, std::string sender) override
    {
        host.calls.push_back({"subscribe", id, {}, sender, nullptr, 0});
        return host.registerResult;
    }

private:
    RecordingHost& host;
};

class RecordingHost::Center : public krt::IMessageCenter
{
public:
    explicit Center(RecordingHost& host) : host(host) { }
    virtual ~Center() = default;

    krt::IMessage* createMessage(int id, const char* sender, int size, const void* data, int) override
    {
        return host.makeMessage(id, size, data, sender);
    }

private:
    RecordingHost& host;
};

RecordingHost::RecordingHost()
    : commands(std::make_unique<Commands>(*this))
    , events(std::make_unique<Events>(*this))
    , center(std::make_unique<Center>(*this))
{
}

RecordingHost::~RecordingHost() = default;

void* RecordingHost::lookup(const char* name)
{
    const std::string service = name ? name : "";
    lookups.push_back(service);
    if (hidden.count(service))
        return nullptr;
    if (service == krt::CommandDispatcherService)
        return static_cast<krt::ICommandDispatcher*>(commands.get());
    if (service == krt::EventDispatcherService)
        return static_cast<krt::IEventDispatcher*>(events.get());
    if (service == krt::MessageCenterService)
        return static_cast<krt::IMessageCenter*>(center.get());
    return nullptr;
}

krt::IMessage* RecordingHost::makeMessage(int id, int size, const void* data, const char* sender)
{
    auto message = std::make_shared<FakeMessage>(id, copyOf(size, data));
    keep.push_back(message);
    calls.push_back({"createMessage", id, copyOf(size, data), sender ? sender : "", message.get(), size});
    return message.get();
}

krt::IReply* RecordingHost::makeReply()
{
    auto made = std::make_shared<FakeReply>(*reply);
    keep.push_back(made);
    lastReply = made.get();
    return made.get();
}

std::vector<HostCall> RecordingHost::callsOf(const std::string& op) const
{
    std::vector<HostCall> picked;
    for (const HostCall& call : calls) {
        if (call.op == op)
            picked.push_back(call);
    }
    return picked;
}

std::vector<std::string> RecordingHost::ops() const
{
    std::vector<std::string> names;
    for (const HostCall& call : calls)
        names.push_back(call.op);
    return names;
}

} // namespace testing_support
