#include "host/icommanddispatcher.h"
#include "host/ihostapi.h"
#include "message/messagehandler.h"
#include "standin/host/standinhost.h"
#include "testing/logcapture.h"
#include "testing/scopedhostapi.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using LCD::Message::MessageHandlerFunc;
using Standin::StandinHost;
using Standin::StandinMessage;
using testing_support::ScopedHostApi;

constexpr int Command = krt::MessageTypeCommand;
constexpr int Event = krt::MessageTypeEvent;

// The smallest concrete component: counts initialise messages.
class ProbeHandler : public LCD::Message::MessageHandler
{
public:
    ProbeHandler() { name = "sender"; }
    void onInit() override { ++inits; }
    int inits = 0;
};

// The stand-in host with its command dispatcher watched, so the release
// order of a command's request and reply shows; it also answers the
// commands it owns with the scripted bytes, or with no reply.
class WatchedHost : public krt::IHostApi, public krt::ICommandDispatcher, public krt::IMessageHandler
{
public:
    WatchedHost() { host.attach("responder", this); }
    ~WatchedHost() override { host.detach("responder"); }
    void reserved0() override { }
    void reserved1() override { }
    void reserved2() override { }
    void reserved3() override { }
    void* lookup(const char* name) override
    {
        void* service = host.lookup(name);
        return service && service == host.lookup(krt::CommandDispatcherService)
            ? static_cast<krt::ICommandDispatcher*>(this)
            : service;
    }
    krt::IMessage* createMessage(int id, int size, const void* data, const char* sender) override
    {
        return host.commands()->createMessage(id, size, data, sender);
    }
    void releaseMessage(void** slot) override
    {
        released.push_back(*slot);
        host.commands()->releaseMessage(slot);
    }
    int send(krt::IMessage** request, krt::IReply** reply, int flags) override
    {
        sent = *request;
        const int result = host.commands()->send(request, reply, flags);
        replied = *reply;
        return result;
    }
    int registerCommand(int id, std::string sender) override
    {
        return host.commands()->registerCommand(id, sender);
    }
    const krt::IMessage* handleMessage(const krt::IMessage* message) override
    {
        return answer
            ? host.center()->createMessage(message->id(), "responder", answer->size(), answer->constData(), 0)
            : nullptr;
    }

    StandinHost host;
    std::optional<QByteArray> answer;
    const void* sent = nullptr;
    const void* replied = nullptr;
    std::vector<const void*> released;
};

const krt::IMessage* delivered(ProbeHandler& handler, int type, int id)
{
    const StandinMessage message(type, id, 0, nullptr, "test");
    return handler.handleMessage(&message);
}

// A handler that counts its calls and answers with a marker reply.
MessageHandlerFunc counting(int& calls, const krt::IMessage* answer)
{
    return [&calls, answer](const krt::IMessage*) {
        ++calls;
        return answer;
    };
}

// Every message the handler made was released or consumed, and properly.
void expectNothingLeft(StandinHost& host)
{
    host.processEvents();
    EXPECT_TRUE(host.faults().empty()) << host.faults().front();
    EXPECT_EQ(host.liveMessages(), 0);
}

class MessageHandlerTest : public ::testing::Test
{
protected:
    void TearDown() override { expectNothingLeft(host); }

    StandinHost host;
    ScopedHostApi scope{&host};
    ProbeHandler handler;
    const StandinMessage commandReply{Command, 1, 0, nullptr, "reply"};
    const StandinMessage eventReply{Event, 2, 0, nullptr, "reply"};
};

// The kind picks the table; initialise runs onInit and the four reserved
// framework ids reach no handler, even when one is registered for them.
TEST_F(MessageHandlerTest, DeliveryReachesTheHandlerOfItsKindOnly)
{
    int calls = 0;
    for (unsigned id : {0xffff0000u, 0xffff0001u, 0xffff0002u, 0xfffffffeu, 0xffffffffu, 0x29u}) {
        handler.registerCommand(static_cast<int>(id), counting(calls, &commandReply));
        handler.registerEvent(static_cast<int>(id), counting(calls, &eventReply));
    }
    handler.registerEvent(0x43, MessageHandlerFunc());
    for (unsigned id : {0xffff0000u, 0xffff0001u, 0xffff0002u, 0xfffffffeu, 0xffffffffu})
        for (int type : {Command, Event})
            EXPECT_EQ(delivered(handler, type, static_cast<int>(id)), nullptr) << std::hex << id;
    EXPECT_EQ(delivered(handler, Command, 0x29), &commandReply);
    EXPECT_EQ(delivered(handler, Event, 0x29), &eventReply);
    EXPECT_EQ(delivered(handler, static_cast<int>(0xf0000003u), 0x29), nullptr) << "neither kind";
    EXPECT_EQ(delivered(handler, Event, 0x43), nullptr) << "empty handler";
    EXPECT_EQ(delivered(handler, Event, 0x44), nullptr) << "unknown id";
    EXPECT_EQ(handler.handleMessage(nullptr), nullptr);
    EXPECT_EQ(handler.inits, 2);
    EXPECT_EQ(calls, 2);
}

// The host hears every registration and its answer is passed on; here it
// refuses the command because another component owns it.
TEST_F(MessageHandlerTest, FirstRegistrationWinsYetTheHostHearsEveryOne)
{
    host.commands()->registerCommand(0x50, "other");
    host.clearRecords();
    int first = 0;
    int second = 0;
    EXPECT_EQ(handler.registerCommand(0x50, counting(first, &commandReply)), -1);
    EXPECT_EQ(handler.registerCommand(0x50, counting(second, &eventReply)), -1);
    EXPECT_EQ(handler.registerEvent(0x51, counting(first, &eventReply)), 0);
    EXPECT_EQ(handler.registerEvent(0x51, counting(second, &commandReply)), 0);

    EXPECT_EQ(delivered(handler, Command, 0x50), &commandReply);
    EXPECT_EQ(delivered(handler, Event, 0x51), &eventReply);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(host.registrations().size(), 4u);
}

// A mutable handler counts in its own state: only a handler run on a copy
// sees a fresh count on every delivery. It also grows the table far enough
// to rehash it while it runs.
TEST_F(MessageHandlerTest, HandlerRunsOnACopyAndMayRegisterWhileItRuns)
{
    std::vector<int> seen;
    int late = 0;
    handler.registerEvent(0x60, [&, count = 0](const krt::IMessage*) mutable -> const krt::IMessage* {
        seen.push_back(++count);
        for (int id = 0x100; id < 0x140; ++id)
            handler.registerEvent(id, counting(late, nullptr));
        return &eventReply;
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(delivered(handler, Event, 0x60), &eventReply);
    EXPECT_EQ(seen, (std::vector<int>{1, 1, 1}));
    delivered(handler, Event, 0x13f);
    EXPECT_EQ(late, 1);
}

// Whatever a handler or the initialise step throws stays in the component:
// a warning naming the id, and no answer.
TEST(ThrowingHandler, IsAnsweredWithAWarningAndNoReply)
{
    struct Throwing : ProbeHandler
    {
        void onInit() override { throw std::runtime_error("init"); }
    };
    StandinHost host;
    ScopedHostApi scope(&host);
    Throwing handler;
    handler.registerEvent(0x70, [](const krt::IMessage*) -> const krt::IMessage* { throw std::bad_alloc(); });
    handler.registerCommand(0x71, [](const krt::IMessage*) -> const krt::IMessage* { throw 71; });
    testing_support::LogCapture log;
    EXPECT_EQ(delivered(handler, Event, 0x70), nullptr);
    EXPECT_EQ(delivered(handler, Command, 0x71), nullptr);
    EXPECT_EQ(delivered(handler, Event, LCD::Message::MsgInitialize), nullptr);
    EXPECT_EQ(log.count("message handler failed: 70 std::bad_alloc"), 1);
    EXPECT_EQ(log.count("message handler failed: 71 unknown exception"), 1);
    EXPECT_EQ(log.count("message handler failed: ffff0000 init"), 1);
    EXPECT_EQ(int(log.lines().size()), 3);
}

// A reply is copied only when its size is the one asked for; the reply slot
// is released before the request, whatever came back.
TEST(SendCommand, CopiesOnlyAReplyOfTheAskedSizeAndReleasesReplyThenRequest)
{
    const struct
    {
        const char* name;
        std::optional<QByteArray> reply;
        int replySize;
        bool copied;
    } cases[] = {
        {"SizesMatch", QByteArray("\x07\x09", 2), 2, true},
        {"ShorterThanExpected", QByteArray(1, '\x01'), 2, false},
        {"LongerThanExpected", QByteArray("\x07\x09", 2), 1, false},
        {"EmptyReplyWithZeroSize", QByteArray(), 0, false},
        {"NoReply", std::nullopt, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedHost watched;
        ScopedHostApi scope(&watched);
        watched.host.commands()->registerCommand(0x1234, "responder");
        watched.answer = c.reply;
        ProbeHandler handler;
        QByteArray request("request bytes");
        const QByteArray untouched(4, '\x5a');
        QByteArray buffer = untouched;

        EXPECT_EQ(handler.sendCommand(0x1234, request.size(), request.data(), c.replySize,
                                      c.replySize ? buffer.data() : nullptr),
                  0);

        EXPECT_EQ(buffer, c.copied ? c.reply->left(c.replySize) + untouched.mid(c.replySize) : untouched);
        EXPECT_EQ(watched.replied != nullptr, c.reply.has_value());
        EXPECT_EQ(watched.released, (std::vector<const void*>{watched.replied, watched.sent}));
        expectNothingLeft(watched.host);
    }
}

// A component made before pluginit, or with a host that lacks a dispatcher,
// skips each call needing the missing service with a warning; the handlers
// it registers still run.
TEST(MissingServices, CallsNeedingThemAreSkippedWithAWarning)
{
    enum Setup { NoHost, NoCommandDispatcher, NoEventDispatcher };
    for (Setup setup : {NoHost, NoCommandDispatcher, NoEventDispatcher}) {
        SCOPED_TRACE(setup);
        StandinHost host;
        if (setup == NoCommandDispatcher)
            host.hideService(krt::CommandDispatcherService);
        if (setup == NoEventDispatcher)
            host.hideService(krt::EventDispatcherService);
        ScopedHostApi scope(setup == NoHost ? nullptr : &host);
        testing_support::LogCapture log;
        ProbeHandler handler;
        const bool commands = setup == NoEventDispatcher;
        const bool events = setup == NoCommandDispatcher;
        int runs = 0;
        char payload[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        char reply = 0x5a;

        EXPECT_EQ(handler.registerCommand(0x21, counting(runs, nullptr)), commands ? 0 : -1);
        EXPECT_EQ(handler.registerEvent(0x22, counting(runs, nullptr)), events ? 0 : -1);
        // A command nobody takes: the host's own answer, -1, is passed on.
        EXPECT_EQ(handler.sendCommand(0x23, sizeof payload, payload, 1, &reply), -1);
        handler.postEvent(0x24, 1, payload);
        handler.sendEvent(0x25, 0, nullptr);

        EXPECT_EQ(reply, 0x5a);
        EXPECT_EQ(log.count("no host api"), setup == NoHost ? 1 : 0);
        EXPECT_EQ(log.count("no command dispatcher"), commands ? 0 : 2);
        EXPECT_EQ(log.count("no event dispatcher"), events ? 0 : 3);
        // What was not skipped reached the host.
        EXPECT_EQ(host.registrations().size() + host.traffic().size(), commands ? 2u : events ? 3u : 0u);
        delivered(handler, Command, 0x21);
        delivered(handler, Event, 0x22);
        EXPECT_EQ(runs, 2);
        expectNothingLeft(host);
    }
}

} // namespace
