#pragma once

namespace krt {

class IMessage;

// Builds reply messages; the returned message passes to the host.
class IMessageCenter
{
public:
    virtual IMessage* createMessage(int id, const char* sender, int size, const void* data, int flags) = 0;

protected:
    ~IMessageCenter() = default;
};

} // namespace krt
