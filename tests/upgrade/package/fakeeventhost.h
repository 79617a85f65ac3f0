#pragma once

#include "host/ieventdispatcher.h"
#include "host/ihostapi.h"

#include <QByteArray>

#include <vector>

// A host that offers only an event dispatcher and records every event the
// component posts or sends. Installed as the process's host for its lifetime,
// so components created meanwhile find it.
class FakeEventHost final : public krt::IHostApi, public krt::IEventDispatcher
{
public:
    struct Event
    {
        int id;
        QByteArray payload;
        bool posted;
    };

    FakeEventHost();
    ~FakeEventHost();
    FakeEventHost(const FakeEventHost&) = delete;
    FakeEventHost& operator=(const FakeEventHost&) = delete;

    const std::vector<Event>& events() const { return recorded; }

    // krt::IHostApi
    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void* lookup(const char* name) override;

    // krt::IEventDispatcher
    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override;
    void reserved3() override { }
    void post(krt::IMessage** message) override;
    void send(krt::IMessage** message, int mode) override;
    int subscribe(int id, std::string sender) override;

private:
    void record(krt::IMessage** message, bool posted);

    krt::IHostApi* previous;
    std::vector<Event> recorded;
};
