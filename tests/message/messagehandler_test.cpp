#include "testing/logcapture.h"
#include "testing/scopedhostapi.h"
#include "testing/traffictext.h"
#include "watchedhost.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using LCD::Message::MessageHandlerFunc;
using Standin::StandinMessage;
using testing_support::LogCapture;
using testing_support::ProbeHandler;
using testing_support::Responder;
using testing_support::ScopedHostApi;
using testing_support::WatchedHost;

constexpr int Command = krt::MessageTypeCommand;
constexpr int Event = krt::MessageTypeEvent;

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

// A payload that differs in every byte, so a shifted or short copy shows.
QByteArray pattern(int size, char seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + 13 * i);
    return bytes;
}

// Every message the handler made was released or consumed, and properly.
void expectNothingLeft(Standin::StandinHost& host)
{
    host.processEvents();
    EXPECT_TRUE(host.faults().empty()) << host.faults().front();
    EXPECT_EQ(host.liveMessages(), 0);
}

class MessageHandlerTest : public ::testing::Test
{
protected:
    void TearDown() override { expectNothingLeft(host); }

    WatchedHost watched;
    Standin::StandinHost& host = watched.host;
    ScopedHostApi scope{&watched};
    ProbeHandler handler{"sender"};
    const StandinMessage commandReply{Command, 1, 0, nullptr, "reply"};
    const StandinMessage eventReply{Event, 2, 0, nullptr, "reply"};
};

TEST_F(MessageHandlerTest, InitialiseRunsOnInitEvenWhenAHandlerHoldsItsId)
{
    int calls = 0;
    handler.registerCommand(LCD::Message::MsgInitialize, counting(calls, &commandReply));
    handler.registerEvent(LCD::Message::MsgInitialize, counting(calls, &eventReply));

    EXPECT_EQ(delivered(handler, Command, LCD::Message::MsgInitialize), nullptr);
    EXPECT_EQ(delivered(handler, Event, LCD::Message::MsgInitialize), nullptr);
    EXPECT_EQ(handler.inits, 2);
    EXPECT_EQ(calls, 0);
}

// The kind picks the table; the four reserved framework ids reach no handler.
TEST_F(MessageHandlerTest, DeliveryReachesTheHandlerOfItsKindUnlessTheIdIsReserved)
{
    const struct
    {
        unsigned id;
        bool reserved;
    } ids[] = {{0xffff0001u, true},  {0xffff0002u, true},  {0xfffffffeu, true},  {0xffffffffu, true},
               {0xffff0003u, false}, {0xfffffffdu, false}, {0xfc000029u, false}, {0u, false}};
    for (const auto& row : ids) {
        SCOPED_TRACE(row.id);
        const int id = static_cast<int>(row.id);
        int commands = 0;
        int events = 0;
        handler.registerCommand(id, counting(commands, &commandReply));
        handler.registerEvent(id, counting(events, &eventReply));

        EXPECT_EQ(delivered(handler, Command, id), row.reserved ? nullptr : &commandReply);
        EXPECT_EQ(delivered(handler, Event, id), row.reserved ? nullptr : &eventReply);
        EXPECT_EQ(delivered(handler, 0, id), nullptr);
        EXPECT_EQ(delivered(handler, static_cast<int>(0xf0000003), id), nullptr);
        EXPECT_EQ(commands + events, row.reserved ? 0 : 2);
    }
    EXPECT_EQ(handler.inits, 0);

    handler.registerEvent(0x43, MessageHandlerFunc());
    EXPECT_EQ(delivered(handler, Event, 0x43), nullptr) << "empty handler";
    EXPECT_EQ(delivered(handler, Event, 0x44), nullptr) << "unknown id";
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
    std::vector<std::tuple<bool, int, std::string>> heard;
    for (const Standin::Registration& r : host.registrations())
        heard.emplace_back(r.command, r.id, r.sender);
    EXPECT_EQ(heard,
              (decltype(heard){{true, 0x50, "sender"},
                               {true, 0x50, "sender"},
                               {false, 0x51, "sender"},
                               {false, 0x51, "sender"}}));
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
    EXPECT_EQ(handler.eventTable().size(), 0x41u);
    delivered(handler, Event, 0x13f);
    EXPECT_EQ(late, 1);
}

// Posted events are queued, sent ones delivered at once (mode 9).
TEST_F(MessageHandlerTest, PostAndSendHandTheCreatedEventToTheDispatcher)
{
    QByteArray payload = pattern(812, 'q');
    handler.postEvent(0x77, payload.size(), payload.data());
    handler.sendEvent(0x78, 0, nullptr);

    EXPECT_EQ(testing_support::trafficLines(host.traffic()),
              (std::vector<std::string>{"post 0x00000077 sender> 812", "send 0x00000078 sender> 0/9"}));
    EXPECT_EQ(host.traffic()[0].bytes.toHex(), payload.toHex());
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
        {"OneByteMatches", QByteArray(1, '\x01'), 1, true},
        {"TwoBytesMatch", QByteArray("\x07\x09", 2), 2, true},
        {"ShorterThanExpected", QByteArray(1, '\x01'), 2, false},
        {"LongerThanExpected", QByteArray("\x07\x09", 2), 1, false},
        {"ReplyWithZeroSizeExpected", QByteArray(1, '\x01'), 0, false},
        {"EmptyReplyWithZeroSize", QByteArray(), 0, false},
        {"NoReplyWithZeroSize", std::nullopt, 0, false},
        {"NoReply", std::nullopt, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WatchedHost watched;
        ScopedHostApi scope(&watched);
        Responder responder(watched.host);
        watched.host.commands()->registerCommand(0x1234, "responder");
        responder.answer = c.reply;
        ProbeHandler handler("sender");
        QByteArray request = pattern(24, 'a');
        const QByteArray untouched(4, '\x5a');
        QByteArray buffer = untouched;

        EXPECT_EQ(handler.sendCommand(0x1234, request.size(), request.data(), c.replySize,
                                      c.replySize ? buffer.data() : nullptr),
                  0);

        const QByteArray expected
            = c.copied ? c.reply->left(c.replySize) + untouched.mid(c.replySize) : untouched;
        EXPECT_EQ(buffer.toHex(), expected.toHex());
        ASSERT_GE(watched.host.traffic().size(), 1u);
        EXPECT_EQ(testing_support::trafficLine(watched.host.traffic()[0]),
                  "command 0x00001234 sender>responder 24");
        EXPECT_EQ(watched.host.traffic()[0].bytes.toHex(), request.toHex());
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
        Standin::StandinHost host;
        if (setup == NoCommandDispatcher)
            host.hideService(krt::CommandDispatcherService);
        if (setup == NoEventDispatcher)
            host.hideService(krt::EventDispatcherService);
        ScopedHostApi scope(setup == NoHost ? nullptr : &host);
        LogCapture log;
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
        std::vector<int> reached;
        for (const Standin::Registration& r : host.registrations())
            reached.push_back(r.id);
        for (const Standin::TrafficRecord& r : host.traffic())
            reached.push_back(r.id);
        const std::vector<int> expected = commands ? std::vector<int>{0x21, 0x23}
            : events                               ? std::vector<int>{0x22, 0x24, 0x25}
                                                   : std::vector<int>{};
        EXPECT_EQ(reached, expected);
        delivered(handler, Command, 0x21);
        delivered(handler, Event, 0x22);
        EXPECT_EQ(runs, 2);
        expectNothingLeft(host);
    }
}

} // namespace
