#pragma once

#include "host/imessagehandler.h"

#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace krt {
class ICommandDispatcher;
class IEventDispatcher;
class IMessageCenter;
} // namespace krt

namespace LCD {
namespace Message {

using MessageHandlerFunc = std::function<const krt::IMessage*(const krt::IMessage*)>;

// Framework ids the handler answers itself.
constexpr int MsgInitialize = static_cast<int>(0xffff0000);

// What the exception being handled says ("unknown exception" for one that is
// no std::exception), for the warning of a handler that caught it. Inside a
// catch block only.
const char* currentExceptionText() noexcept;

// Base of every component: keeps one table of command handlers and one of
// event handlers keyed by id, routes delivered messages to them and sends the
// component's own messages through the host's dispatchers.
class MessageHandler : public krt::IMessageHandler
{
public:
    MessageHandler();
    ~MessageHandler() override;

    MessageHandler(const MessageHandler&) = delete;
    MessageHandler& operator=(const MessageHandler&) = delete;

    const krt::IMessage* handleMessage(const krt::IMessage* message) override;
    virtual void onInit() = 0;
    virtual const krt::IMessage* processMsg(int id, const krt::IMessage* message);

    int registerCommand(int id, MessageHandlerFunc&& handler);
    int registerEvent(int id, MessageHandlerFunc&& handler);

    int sendCommand(int id, int size, void* data, int replySize, void* replyBuffer);
    void postEvent(int id, int size, void* data);
    void sendEvent(int id, int size, void* data);

    // Read-only views for diagnostics and tests.
    const std::unordered_map<int, MessageHandlerFunc>& commandTable() const { return commandHandlers; }
    const std::unordered_map<int, MessageHandlerFunc>& eventTable() const { return eventHandlers; }
    const std::string& componentName() const { return name; }

protected:
    krt::ICommandDispatcher* commandDispatcher = nullptr;
    krt::IEventDispatcher* eventDispatcher = nullptr;
    krt::IMessageCenter* messageCenter = nullptr;
    std::string name;

private:
    void insertHandler(std::unordered_map<int, MessageHandlerFunc>& table, int id,
                       MessageHandlerFunc&& handler);

    std::mutex mutex;
    std::unordered_map<int, MessageHandlerFunc> commandHandlers;
    std::unordered_map<int, MessageHandlerFunc> eventHandlers;
};

} // namespace Message
} // namespace LCD
