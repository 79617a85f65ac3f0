#pragma once

#include "host/ihostapi.h"
#include "standin/host/commanddispatcher.h"
#include "standin/host/eventdispatcher.h"
#include "standin/host/messagecenter.h"
#include "standin/host/standinmessage.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace krt {
class IMessageHandler;
}

namespace Standin {

// How a message crossed the host.
enum class Route {
    Command, // synchronous command, request side
    Reply, // the reply a command handler returned
    Post, // event queued with post()
    Send, // event delivered at once with send()
};

const char* routeName(Route route);

// One message that crossed the host, as tests and traces see it.
struct TrafficRecord
{
    qint64 sequence = 0;
    qint64 elapsedNs = 0;
    Route route = Route::Command;
    int id = 0;
    std::string sender;
    std::vector<std::string> receivers;
    int flags = 0; // send() flags for commands, mode for sent events
    QByteArray bytes; // payload copy; its size is the message size

    int size() const { return bytes.size(); }
};

struct Registration
{
    bool command = false; // registerCommand (true) or subscribe (false)
    int id = 0;
    std::string sender;
};

// The host framework as the plug-in sees it: a service registry under the
// three service names, a command dispatcher with synchronous send and reply
// slots, an event dispatcher whose post() queues and send() delivers at once,
// subscriptions by id and a message centre. Components attach under a name;
// every message that passes is recorded.
class StandinHost : public krt::IHostApi
{
public:
    StandinHost();
    virtual ~StandinHost();
    StandinHost(const StandinHost&) = delete;
    StandinHost& operator=(const StandinHost&) = delete;

    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void* lookup(const char* name) override;

    // A hidden service is not found by lookup(), to rehearse a lacking host.
    void hideService(const std::string& name) { hidden.insert(name); }

    void attach(const std::string& name, krt::IMessageHandler* handler);
    void detach(const std::string& name);
    krt::IMessageHandler* component(const std::string& name) const;

    // Delivers one host-made message straight to a component (framework ids,
    // deliveries of the wrong kind). Returns the reply's bytes, or nothing
    // when the component answered null.
    std::optional<QByteArray> deliver(const std::string& name, int type, int id,
                                      const QByteArray& bytes = {});

    // Delivers queued events, in order, until the queue is empty.
    int processEvents();

    CommandDispatcher* commands() { return &commandDispatcher; }
    EventDispatcher* events() { return &eventDispatcher; }
    MessageCenter* center() { return &messageCenter; }

    const std::vector<TrafficRecord>& traffic() const { return records; }
    const std::vector<Registration>& registrations() const { return registered; }
    void clearRecords();
    // A long soak keeps no history: the observer still sees every message.
    void setRecording(bool on) { keepRecords = on; }
    void setObserver(std::function<void(const TrafficRecord&)> observer) { watcher = std::move(observer); }

    // Messages and replies created and not yet released or consumed.
    int liveMessages() const { return int(messages.size() + replies.size() + queue.size()); }
    // Breaches of the host's contract seen so far (unknown or double release, ...).
    const std::vector<std::string>& faults() const { return contractFaults; }
    void clearFaults() { contractFaults.clear(); }

    // Operations behind the dispatchers and the message centre.
    krt::IMessage* createMessage(int type, int id, int size, const void* data, const char* sender);
    void release(void** slot);
    int sendCommand(krt::IMessage** request, krt::IReply** reply, int flags);
    int registerCommand(int id, const std::string& sender);
    void postEvent(krt::IMessage** message);
    void sendEvent(krt::IMessage** message, int mode);
    int subscribe(int id, const std::string& sender);

private:
    std::unique_ptr<StandinMessage> adopt(krt::IMessage* message, const char* what);
    std::unique_ptr<StandinMessage> acceptEvent(krt::IMessage** message, const char* what, Route route,
                                                int mode);
    void deliverEvent(const StandinMessage& message);
    void record(Route route, const StandinMessage& message, std::vector<std::string> receivers, int flags);
    void fault(std::string text);

    CommandDispatcher commandDispatcher;
    EventDispatcher eventDispatcher;
    MessageCenter messageCenter;
    std::set<std::string> hidden;
    std::map<std::string, krt::IMessageHandler*> components;
    std::unordered_map<int, std::string> commandOwners;
    std::unordered_map<int, std::vector<std::string>> subscribers;
    std::unordered_map<const void*, std::unique_ptr<StandinMessage>> messages;
    std::unordered_map<const void*, std::unique_ptr<StandinReply>> replies;
    std::deque<std::unique_ptr<StandinMessage>> queue;
    std::vector<TrafficRecord> records;
    std::vector<Registration> registered;
    std::vector<std::string> contractFaults;
    std::function<void(const TrafficRecord&)> watcher;
    QElapsedTimer clock;
    qint64 nextSequence = 0;
    bool keepRecords = true;
};

} // namespace Standin
