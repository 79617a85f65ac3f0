#pragma once

#include "host/ihostapi.h"

#include <QByteArray>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace krt {
class IMessage;
class IReply;
} // namespace krt

namespace testing_support {

// One call the component made on a host service, in call order.
struct HostCall
{
    std::string op;                 // "createMessage", "send", "release", "post", "sendEvent", ...
                                    // "releaseNullSlot" when handed no slot at all
    int id = 0;
    QByteArray bytes;               // payload copied by createMessage
    std::string sender;
    const void* object = nullptr;   // message handed over or slot content released
    int number = 0;                 // flags, mode
};

// A host double for the message handler alone: every service call is logged
// in order, and what send() leaves in the reply slot is scripted. Messages
// and replies it makes stay alive until the double dies, so a test can still
// compare addresses after they were released.
class RecordingHost : public krt::IHostApi
{
public:
    RecordingHost();
    virtual ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void* lookup(const char* name) override;

    void hide(const std::string& service) { hidden.insert(service); }
    std::vector<HostCall> callsOf(const std::string& op) const;
    std::vector<std::string> ops() const;

    std::vector<std::string> lookups;
    std::vector<HostCall> calls;
    // What send() leaves in the reply slot; nothing leaves the slot null.
    std::optional<QByteArray> reply;
    int sendResult = 0;
    const krt::IReply* lastReply = nullptr;     // what the last send() left in the slot
    int registerResult = 0;

private:
    class Commands;
    class Events;
    class Center;
    friend class Commands;
    friend class Events;
    friend class Center;

    krt::IMessage* makeMessage(int id, int size, const void* data, const char* sender);
    krt::IReply* makeReply();

    std::set<std::string> hidden;
    std::unique_ptr<Commands> commands;
    std::unique_ptr<Events> events;
    std::unique_ptr<Center> center;
    std::vector<std::shared_ptr<void>> keep;
};

} // namespace testing_support
