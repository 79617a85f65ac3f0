#include "messagehandler.h"

#include "host/api.h"
#include "host/icommanddispatcher.h"
#include "host/ieventdispatcher.h"
#include "host/ihostapi.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "host/ireply.h"

#include <QDebug>

#include <cstring>
#include <exception>

namespace LCD {
namespace Message {

namespace {

// Framework ids that never reach a handler.
bool isIgnoredFrameworkId(int id)
{
    switch (static_cast<unsigned>(id)) {
    case 0xffff0001u:
    case 0xffff0002u:
    case 0xfffffffeu:
    case 0xffffffffu:
        return true;
    default:
        return false;
    }
}

// The warning of a handler that threw. Logging allocates too, so even its
// own failure stays here.
void warnHandlerFailed(int id, const char* what) noexcept
{
    try {
        qWarning() << "message handler failed:" << Qt::hex << static_cast<unsigned>(id) << what;
    } catch (...) {
    }
}

} // namespace

const char* currentExceptionText() noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

MessageHandler::MessageHandler()
{
    krt::IHostApi* host = krt::api::get().host;
    if (!host) {
        qWarning() << "no host api: component gets no host services";
        return;
    }
    messageCenter = static_cast<krt::IMessageCenter*>(host->lookup(krt::MessageCenterService));
    commandDispatcher = static_cast<krt::ICommandDispatcher*>(host->lookup(krt::CommandDispatcherService));
    eventDispatcher = static_cast<krt::IEventDispatcher*>(host->lookup(krt::EventDispatcherService));
}

MessageHandler::~MessageHandler()
{
    // Release order: event table, command table, then the name.
    eventHandlers.clear();
    commandHandlers.clear();
    name.clear();
}

// The host is not built to take exceptions: whatever a handler throws (out
// of memory, say) ends here as a warning and no answer.
const krt::IMessage* MessageHandler::handleMessage(const krt::IMessage* message)
{
    if (!message)
        return nullptr;
    const int id = message->id();
    try {
        if (id == MsgInitialize) {
            onInit();
            return nullptr;
        }
        if (isIgnoredFrameworkId(id))
            return nullptr;
        return processMsg(id, message);
    } catch (...) {
        warnHandlerFailed(id, currentExceptionText());
    }
    return nullptr;
}

const krt::IMessage* MessageHandler::processMsg(int id, const krt::IMessage* message)
{
    const std::unordered_map<int, MessageHandlerFunc>* table = nullptr;
    switch (message->type()) {
    case krt::MessageTypeCommand:
        table = &commandHandlers;
        break;
    case krt::MessageTypeEvent:
        table = &eventHandlers;
        break;
    default:
        return nullptr;
    }
    const auto it = table->find(id);
    if (it == table->end() || !it->second)
        return nullptr;
    // Run a copy: the handler may itself register further handlers.
    const MessageHandlerFunc handler = it->second;
    return handler(message);
}

void MessageHandler::insertHandler(std::unordered_map<int, MessageHandlerFunc>& table, int id,
                                   MessageHandlerFunc&& handler)
{
    std::lock_guard<std::mutex> lock(mutex);
    // The first registration of an id wins.
    table.emplace(id, std::move(handler));
}

int MessageHandler::registerCommand(int id, MessageHandlerFunc&& handler)
{
    insertHandler(commandHandlers, id, std::move(handler));
    if (!commandDispatcher) {
        qWarning() << "no command dispatcher: command not registered with the host" << Qt::hex << id;
        return -1;
    }
    return commandDispatcher->registerCommand(id, name);
}

int MessageHandler::registerEvent(int id, MessageHandlerFunc&& handler)
{
    insertHandler(eventHandlers, id, std::move(handler));
    if (!eventDispatcher) {
        qWarning() << "no event dispatcher: event not subscribed with the host" << Qt::hex << id;
        return -1;
    }
    return eventDispatcher->subscribe(id, name);
}

int MessageHandler::sendCommand(int id, int size, void* data, int replySize, void* replyBuffer)
{
    if (!commandDispatcher) {
        qWarning() << "no command dispatcher: command not sent" << Qt::hex << id;
        return -1;
    }
    krt::IMessage* request = commandDispatcher->createMessage(id, size, data, name.c_str());
    krt::IReply* reply = nullptr;
    const int result = commandDispatcher->send(&request, &reply, 0);
    if (reply && reply->size() == replySize) {
        const void* bytes = reply->data();
        if (replySize != 0)
            std::memmove(replyBuffer, bytes, static_cast<size_t>(replySize));
    }
    commandDispatcher->releaseMessage(reinterpret_cast<void**>(&reply));
    commandDispatcher->releaseMessage(reinterpret_cast<void**>(&request));
    return result;
}

void MessageHandler::postEvent(int id, int size, void* data)
{
    if (!eventDispatcher) {
        qWarning() << "no event dispatcher: event not posted" << Qt::hex << id;
        return;
    }
    krt::IMessage* message = eventDispatcher->createMessage(id, size, data, name.c_str());
    eventDispatcher->post(&message);
}

void MessageHandler::sendEvent(int id, int size, void* data)
{
    if (!eventDispatcher) {
        qWarning() << "no event dispatcher: event not sent" << Qt::hex << id;
        return;
    }
    krt::IMessage* message = eventDispatcher->createMessage(id, size, data, name.c_str());
    constexpr int SendModeImmediate = 9;
    eventDispatcher->send(&message, SendModeImmediate);
}

} // namespace Message
} // namespace LCD
