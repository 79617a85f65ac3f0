#include "fakeeventhost.h"

#include "host/api.h"
#include "host/imessage.h"

#include <cstring>

namespace {

class EventMessage : public krt::IMessage
{
public:
    EventMessage(int id, int size, const void* data)
        : messageId(id)
        , bytes(data ? QByteArray(static_cast<const char*>(data), size) : QByteArray())
    {
    }

    int type() const override { return krt::MessageTypeEvent; }
    int id() const override { return messageId; }
    int size() const override { return bytes.size(); }
    const void* data() const override { return bytes.isNull() ? nullptr : bytes.constData(); }
    const QByteArray& payload() const { return bytes; }

private:
    int messageId;
    QByteArray bytes;
};

} // namespace

FakeEventHost::FakeEventHost()
    : previous(krt::api::get().host)
{
    krt::api::get().host = this;
}

FakeEventHost::~FakeEventHost()
{
    krt::api::get().host = previous;
}

void* FakeEventHost::lookup(const char* name)
{
    if (std::strcmp(name, krt::EventDispatcherService) == 0)
        return static_cast<krt::IEventDispatcher*>(this);
    return nullptr;
}

krt::IMessage* FakeEventHost::createMessage(int id, int size, const void* data, const char* sender)
{
    (void)sender;
    return new EventMessage(id, size, data);
}

void FakeEventHost::post(krt::IMessage** message)
{
    record(message, true);
}

void FakeEventHost::send(krt::IMessage** message, int mode)
{
    (void)mode;
    record(message, false);
}

int FakeEventHost::subscribe(int id, std::string sender)
{
    (void)id;
    (void)sender;
    return 0;
}

void FakeEventHost::record(krt::IMessage** message, bool posted)
{
    auto* event = static_cast<EventMessage*>(*message);
    recorded.push_back({event->id(), event->payload(), posted});
    delete event;
    *message = nullptr;
}
