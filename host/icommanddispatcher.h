#pragma once

#include <string>

namespace krt {

class IMessage;
class IReply;

// Synchronous command routing. Slot order is the host's binary contract.
class ICommandDispatcher
{
public:
    virtual IMessage* createMessage(int id, int size, const void* data, const char* sender) = 0;
    // Releases whatever the slot holds (an IMessage or an IReply; null is fine).
    virtual void releaseMessage(void** slot) = 0;
    virtual int send(IMessage** request, IReply** reply, int flags) = 0;
    virtual void reserved3() = 0; // host slot the plug-in never calls
    virtual int registerCommand(int id, std::string sender) = 0;

protected:
    ~ICommandDispatcher() = default;
};

} // namespace krt
