#pragma once

namespace krt {

// What a command dispatcher leaves in the reply slot of a synchronous send.
class IReply
{
public:
    virtual void reserved0() = 0; // host slot the plug-in never calls
    virtual const void* data() const = 0;
    virtual int size() const = 0;

protected:
    ~IReply() = default;
};

} // namespace krt
