#include "commanddispatcher.h"

#include "standinhost.h"

namespace Standin {

krt::IMessage* CommandDispatcher::createMessage(int id, int size, const void* data, const char* sender)
{
    return host.createMessage(krt::MessageTypeCommand, id, size, data, sender);
}

void CommandDispatcher::releaseMessage(void** slot)
{
    host.release(slot);
}

int CommandDispatcher::send(krt::IMessage** request, krt::IReply** reply, int flags)
{
    return host.sendCommand(request, reply, flags);
}

int CommandDispatcher::registerCommand(int id, std::string sender)
{
    return host.registerCommand(id, sender);
}

} // namespace Standin
