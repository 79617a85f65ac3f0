#pragma once

#include <string>

namespace krt {

class IMessage;

// Event routing. A message handed to post() or send() belongs to the
// dispatcher from then on. Slot order is the host's binary contract.
class IEventDispatcher
{
public:
    virtual IMessage* createMessage(int id, int size, const void* data, const char* sender) = 0;
    virtual void reserved1() = 0; // host slot the plug-in never calls
    virtual void post(IMessage** message) = 0;
    virtual void reserved3() = 0; // host slot the plug-in never calls
    virtual void send(IMessage** message, int mode) = 0;
    virtual int subscribe(int id, std::string sender) = 0;

protected:
    ~IEventDispatcher() = default;
};

} // namespace krt
