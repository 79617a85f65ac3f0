#pragma once

namespace krt {

class IMessage;

// What a component shows the host: it is destroyed through the virtual
// destructor and receives every message through handleMessage().
class IMessageHandler
{
public:
    virtual ~IMessageHandler() = default;
    virtual const IMessage* handleMessage(const IMessage* message) = 0;
};

} // namespace krt
