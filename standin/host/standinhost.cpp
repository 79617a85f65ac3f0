#include "standinhost.h"

#include "host/imessagehandler.h"

#include <algorithm>

namespace Standin {

const char* routeName(Route route)
{
    switch (route) {
    case Route::Command:
        return "command";
    case Route::Reply:
        return "reply";
    case Route::Post:
        return "post";
    case Route::Send:
        return "send";
    }
    return "?";
}

StandinHost::StandinHost()
    : commandDispatcher(*this)
    , eventDispatcher(*this)
    , messageCenter(*this)
{
    clock.start();
}

StandinHost::~StandinHost() = default;

void* StandinHost::lookup(const char* name)
{
    const std::string service = name ? name : "";
    if (hidden.count(service))
        return nullptr;
    if (service == krt::MessageCenterService)
        return static_cast<krt::IMessageCenter*>(&messageCenter);
    if (service == krt::CommandDispatcherService)
        return static_cast<krt::ICommandDispatcher*>(&commandDispatcher);
    if (service == krt::EventDispatcherService)
        return static_cast<krt::IEventDispatcher*>(&eventDispatcher);
    return nullptr;
}

void StandinHost::attach(const std::string& name, krt::IMessageHandler* handler)
{
    components[name] = handler;
}

void StandinHost::detach(const std::string& name)
{
    components.erase(name);
}

krt::IMessageHandler* StandinHost::component(const std::string& name) const
{
    const auto it = components.find(name);
    return it == components.end() ? nullptr : it->second;
}

std::optional<QByteArray> StandinHost::deliver(const std::string& name, int type, int id,
                                               const QByteArray& bytes)
{
    krt::IMessageHandler* target = component(name);
    if (!target)
        return std::nullopt;
    const StandinMessage message(type, id, bytes.size(), bytes.constData(), "host");
    const krt::IMessage* reply = target->handleMessage(&message);
    if (!reply)
        return std::nullopt;
    std::unique_ptr<StandinMessage> owned = adopt(const_cast<krt::IMessage*>(reply), "reply");
    return owned ? owned->bytes() : QByteArray();
}

krt::IMessage* StandinHost::createMessage(int type, int id, int size, const void* data, const char* sender)
{
    if (size > 0 && !data)
        fault("createMessage: size without data, id " + std::to_string(id));
    auto message = std::make_unique<StandinMessage>(type, id, size, data, sender ? sender : "");
    krt::IMessage* raw = message.get();
    messages.emplace(raw, std::move(message));
    return raw;
}

void StandinHost::release(void** slot)
{
    if (!slot) {
        fault("releaseMessage: null slot");
        return;
    }
    void* held = *slot;
    if (!held)
        return;
    if (messages.erase(held) == 0 && replies.erase(held) == 0)
        fault("releaseMessage: unknown or already released message");
}

std::unique_ptr<StandinMessage> StandinHost::adopt(krt::IMessage* message, const char* what)
{
    const auto it = messages.find(message);
    if (it == messages.end()) {
        fault(std::string(what) + ": message not made by this host");
        return nullptr;
    }
    std::unique_ptr<StandinMessage> owned = std::move(it->second);
    messages.erase(it);
    return owned;
}

int StandinHost::sendCommand(krt::IMessage** request, krt::IReply** reply, int flags)
{
    if (!request || !*request || !reply) {
        fault("send: null request or reply slot");
        return -1;
    }
    const auto it = messages.find(*request);
    if (it == messages.end()) {
        fault("send: request not made by this host");
        return -1;
    }
    StandinMessage& message = *it->second;
    const auto owner = commandOwners.find(message.id());
    krt::IMessageHandler* target = owner == commandOwners.end() ? nullptr : component(owner->second);
    record(Route::Command, message,
           target ? std::vector<std::string>{owner->second} : std::vector<std::string>{}, flags);
    if (!target)
        return -1;
    message.setType(krt::MessageTypeCommand);
    const krt::IMessage* answer = target->handleMessage(&message);
    if (!answer)
        return 0;
    std::unique_ptr<StandinMessage> owned = adopt(const_cast<krt::IMessage*>(answer), "reply");
    if (!owned)
        return 0;
    record(Route::Reply, *owned, {message.sender()}, 0);
    auto made = std::make_unique<StandinReply>(owned->bytes());
    *reply = made.get();
    replies.emplace(made.get(), std::move(made));
    return 0;
}

int StandinHost::registerCommand(int id, const std::string& sender)
{
    registered.push_back({true, id, sender});
    const auto inserted = commandOwners.emplace(id, sender);
    return inserted.second || inserted.first->second == sender ? 0 : -1;
}

int StandinHost::subscribe(int id, const std::string& sender)
{
    registered.push_back({false, id, sender});
    std::vector<std::string>& names = subscribers[id];
    if (std::find(names.begin(), names.end(), sender) == names.end())
        names.push_back(sender);
    return 0;
}

// Takes over an event handed to post() or send(), records it with its
// subscribers, and gives it back for queueing or delivery; null after a fault.
std::unique_ptr<StandinMessage> StandinHost::acceptEvent(krt::IMessage** message, const char* what,
                                                         Route route, int mode)
{
    if (!message || !*message) {
        fault(std::string(what) + ": null message");
        return nullptr;
    }
    std::unique_ptr<StandinMessage> owned = adopt(*message, what);
    if (!owned)
        return nullptr;
    owned->setType(krt::MessageTypeEvent);
    const auto names = subscribers.find(owned->id());
    record(route, *owned, names == subscribers.end() ? std::vector<std::string>{} : names->second, mode);
    return owned;
}

void StandinHost::postEvent(krt::IMessage** message)
{
    if (std::unique_ptr<StandinMessage> owned = acceptEvent(message, "post", Route::Post, 0))
        queue.push_back(std::move(owned));
}

void StandinHost::sendEvent(krt::IMessage** message, int mode)
{
    if (std::unique_ptr<StandinMessage> owned = acceptEvent(message, "send event", Route::Send, mode))
        deliverEvent(*owned);
}

int StandinHost::processEvents()
{
    int delivered = 0;
    while (!queue.empty()) {
        std::unique_ptr<StandinMessage> next = std::move(queue.front());
        queue.pop_front();
        deliverEvent(*next);
        ++delivered;
    }
    return delivered;
}

void StandinHost::deliverEvent(const StandinMessage& message)
{
    const auto names = subscribers.find(message.id());
    if (names == subscribers.end())
        return;
    // Copy: a handler may subscribe further components while it runs.
    const std::vector<std::string> targets = names->second;
    for (const std::string& name : targets) {
        krt::IMessageHandler* target = component(name);
        if (!target)
            continue;
        if (const krt::IMessage* answer = target->handleMessage(&message)) {
            fault("event handler of " + name + " returned a reply");
            adopt(const_cast<krt::IMessage*>(answer), "event reply");
        }
    }
}

void StandinHost::record(Route route, const StandinMessage& message, std::vector<std::string> receivers,
                         int flags)
{
    if (!keepRecords && !watcher) {
        ++nextSequence;
        return;
    }
    TrafficRecord entry;
    entry.sequence = nextSequence++;
    entry.elapsedNs = clock.nsecsElapsed();
    entry.route = route;
    entry.id = message.id();
    entry.sender = message.sender();
    entry.receivers = std::move(receivers);
    entry.flags = flags;
    entry.bytes = message.bytes();
    if (watcher)
        watcher(entry);
    if (keepRecords)
        records.push_back(std::move(entry));
}

void StandinHost::clearRecords()
{
    records.clear();
    registered.clear();
}

void StandinHost::fault(std::string text)
{
    contractFaults.push_back(std::move(text));
}

} // namespace Standin
