#pragma once

#include "host/imessage.h"
#include "host/ireply.h"

#include <QByteArray>

#include <string>

namespace Standin {

// A message as the stand-in host carries it: its own copy of the payload.
class StandinMessage : public krt::IMessage
{
public:
    StandinMessage(int type, int id, int size, const void* data, std::string sender);

    int type() const override { return kind; }
    int id() const override { return messageId; }
    int size() const override { return payload.size(); }
    const void* data() const override { return payload.isEmpty() ? nullptr : payload.constData(); }

    const std::string& sender() const { return from; }
    // The sender's buffer the payload was copied from. A synchronous command
    // keeps it alive during the send, so a partner may write back into it
    // (the device side clears an address slot it cannot answer).
    void* origin() const { return source; }
    const QByteArray& bytes() const { return payload; }
    void setType(int type) { kind = type; }

private:
    int kind;
    int messageId;
    QByteArray payload;
    std::string from;
    void* source;
};

// What the command dispatcher leaves in a reply slot.
class StandinReply : public krt::IReply
{
public:
    explicit StandinReply(QByteArray bytes)
        : payload(std::move(bytes))
    {
    }
    virtual ~StandinReply() = default;

    void reserved0() override { }
    const void* data() const override { return payload.isEmpty() ? nullptr : payload.constData(); }
    int size() const override { return payload.size(); }

private:
    QByteArray payload;
};

} // namespace Standin
