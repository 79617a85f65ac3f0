#pragma once

namespace krt {

// Message kinds as reported by IMessage::type().
constexpr int MessageTypeCommand = static_cast<int>(0xf0000001);
constexpr int MessageTypeEvent = static_cast<int>(0xf0000002);

// A message delivered by the host. The plug-in reads it only while a handler
// runs; it never owns one.
class IMessage
{
public:
    virtual ~IMessage() = default; // occupies the host's first two slots
    virtual int type() const = 0;
    virtual int id() const = 0;
    virtual int size() const = 0;
    virtual const void* data() const = 0;
};

} // namespace krt
