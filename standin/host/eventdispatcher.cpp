#include "eventdispatcher.h"

#include "standinhost.h"

namespace Standin {

krt::IMessage* EventDispatcher::createMessage(int id, int size, const void* data, const char* sender)
{
    return host.createMessage(krt::MessageTypeEvent, id, size, data, sender);
}

void EventDispatcher::post(krt::IMessage** message)
{
    host.postEvent(message);
}

void EventDispatcher::send(krt::IMessage** message, int mode)
{
    host.sendEvent(message, mode);
}

int EventDispatcher::subscribe(int id, std::string sender)
{
    return host.subscribe(id, sender);
}

} // namespace Standin
