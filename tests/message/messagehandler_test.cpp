#include "probehandler.h"
#include "recordinghost.h"
#include "standin/host/standinmessage.h"
#include "testing/paramname.h"
#include "testing/scopedhostapi.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using LCD::Message::MessageHandlerFunc;
using Standin::StandinMessage;
using testing_support::ProbeHandler;
using testing_support::RecordingHost;
using testing_support::ScopedHostApi;

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

class MessageHandlerTest : public ::testing::Test
{
protected:
    RecordingHost host;
    ScopedHostApi scope{&host};
    ProbeHandler handler;
    const StandinMessage commandReply{Command, 1, 0, nullptr, "reply"};
    const StandinMessage eventReply{Event, 2, 0, nullptr, "reply"};
};

TEST_F(MessageHandlerTest, LooksTheThreeServicesUpInOrder)
{
    EXPECT_EQ(host.lookups, (std::vector<std::string>{"krt_default_messagecenter", "commanddispatcher",
                                                      "eventdispatcher"}));
}

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

TEST_F(MessageHandlerTest, KindChoosesBetweenHandlersOfTheSameId)
{
    int commandCalls = 0;
    int eventCalls = 0;
    handler.registerCommand(0x42, counting(commandCalls, &commandReply));
    handler.registerEvent(0x42, counting(eventCalls, &eventReply));

    EXPECT_EQ(delivered(handler, Command, 0x42), &commandReply);
    EXPECT_EQ(delivered(handler, Event, 0x42), &eventReply);
    // Anything but the two kinds reaches neither table.
    EXPECT_EQ(delivered(handler, 0, 0x42), nullptr);
    EXPECT_EQ(delivered(handler, static_cast<int>(0xf0000003), 0x42), nullptr);
    EXPECT_EQ(commandCalls, 1);
    EXPECT_EQ(eventCalls, 1);
}

TEST_F(MessageHandlerTest, UnknownIdAndEmptyHandlerGiveNull)
{
    handler.registerEvent(0x43, MessageHandlerFunc());
    EXPECT_EQ(delivered(handler, Event, 0x44), nullptr);
    EXPECT_EQ(delivered(handler, Event, 0x43), nullptr);
    EXPECT_EQ(delivered(handler, Command, 0x43), nullptr);
}

TEST_F(MessageHandlerTest, FirstRegistrationWinsYetTheHostHearsEveryOne)
{
    host.registerResult = 42;
    int first = 0;
    int second = 0;
    EXPECT_EQ(handler.registerCommand(0x50, counting(first, &commandReply)), 42);
    EXPECT_EQ(handler.registerCommand(0x50, counting(second, &eventReply)), 42);
    handler.registerEvent(0x51, counting(first, &eventReply));
    handler.registerEvent(0x51, counting(second, &commandReply));

    EXPECT_EQ(delivered(handler, Command, 0x50), &commandReply);
    EXPECT_EQ(delivered(handler, Event, 0x51), &eventReply);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 0);

    const auto commands = host.callsOf("registerCommand");
    const auto events = host.callsOf("subscribe");
    ASSERT_EQ(commands.size(), 2u);
    ASSERT_EQ(events.size(), 2u);
    for (const auto& call : {commands[0], commands[1], events[0], events[1]})
        EXPECT_EQ(call.sender, "probe");
    EXPECT_EQ(commands[1].id, 0x50);
    EXPECT_EQ(events[1].id, 0x51);
}

// A mutable handler counts in its own state: only a handler run on a copy
// sees a fresh count on every delivery.
TEST_F(MessageHandlerTest, HandlerRunsOnACopyOfTheTableEntry)
{
    std::vector<int> seen;
    handler.registerEvent(0x60, [&seen, count = 0](const krt::IMessage*) mutable {
        seen.push_back(++count);
        return nullptr;
    });
    for (int i = 0; i < 3; ++i)
        delivered(handler, Event, 0x60);
    EXPECT_EQ(seen, (std::vector<int>{1, 1, 1}));
}

// The handler grows the table far enough to rehash it while it runs, and
// registers itself under its own id again.
TEST_F(MessageHandlerTest, HandlerMayRegisterHandlersWhileItRuns)
{
    int late = 0;
    MessageHandlerFunc registering = [&](const krt::IMessage*) -> const krt::IMessage* {
        handler.registerEvent(0x70, MessageHandlerFunc());
        for (int id = 0x100; id < 0x140; ++id)
            handler.registerEvent(id, counting(late, nullptr));
        return &eventReply;
    };
    handler.registerEvent(0x70, std::move(registering));

    EXPECT_EQ(delivered(handler, Event, 0x70), &eventReply);
    EXPECT_EQ(handler.eventTable().size(), 0x41u);
    EXPECT_EQ(delivered(handler, Event, 0x70), &eventReply);
    delivered(handler, Event, 0x13f);
    EXPECT_EQ(late, 1);
}

TEST_F(MessageHandlerTest, ExceptionOfAHandlerPassesToTheHost)
{
    handler.registerCommand(0x80, [](const krt::IMessage*) -> const krt::IMessage* {
        throw std::runtime_error("handler failed");
    });
    EXPECT_THROW(delivered(handler, Command, 0x80), std::runtime_error);
    EXPECT_EQ(handler.commandTable().count(0x80), 1u);
}

// Handlers whose captured state reports its own destruction.
struct DestructionTrace
{
    struct Mark
    {
        std::vector<std::string>* log = nullptr;
        std::string what;
        ~Mark() { log->push_back(what); }
    };

    MessageHandlerFunc handler(const std::string& what)
    {
        auto mark = std::make_shared<Mark>();
        mark->log = &log;
        mark->what = what;
        return [mark](const krt::IMessage*) { return nullptr; };
    }

    std::vector<std::string> log;
};

TEST(MessageHandlerLifetime, DestructionReleasesEventHandlersThenCommandHandlers)
{
    RecordingHost host;
    ScopedHostApi scope(&host);
    DestructionTrace trace;
    {
        ProbeHandler handler;
        handler.registerCommand(1, trace.handler("command"));
        handler.registerEvent(1, trace.handler("event"));
        ASSERT_TRUE(trace.log.empty());
    }
    EXPECT_EQ(trace.log, (std::vector<std::string>{"event", "command"}));
}

struct IdCase
{
    const char* name;
    unsigned id;
    bool reachesHandler;
};

class FrameworkIdTest : public MessageHandlerTest, public ::testing::WithParamInterface<IdCase>
{
};

TEST_P(FrameworkIdTest, ReachesAHandlerOnlyWhenNotReserved)
{
    const int id = static_cast<int>(GetParam().id);
    int calls = 0;
    handler.registerCommand(id, counting(calls, &commandReply));
    handler.registerEvent(id, counting(calls, &eventReply));

    const krt::IMessage* command = delivered(handler, Command, id);
    const krt::IMessage* event = delivered(handler, Event, id);

    EXPECT_EQ(calls, GetParam().reachesHandler ? 2 : 0);
    EXPECT_EQ(command, GetParam().reachesHandler ? &commandReply : nullptr);
    EXPECT_EQ(event, GetParam().reachesHandler ? &eventReply : nullptr);
    EXPECT_EQ(handler.inits, 0);
}

INSTANTIATE_TEST_SUITE_P(Ids, FrameworkIdTest,
                         ::testing::Values(IdCase{"ffff0001", 0xffff0001u, false},
                                           IdCase{"ffff0002", 0xffff0002u, false},
                                           IdCase{"fffffffe", 0xfffffffeu, false},
                                           IdCase{"ffffffff", 0xffffffffu, false},
                                           IdCase{"ffff0003", 0xffff0003u, true},
                                           IdCase{"fffffffd", 0xfffffffdu, true},
                                           IdCase{"fc000029", 0xfc000029u, true},
                                           IdCase{"zero", 0u, true}),
                         testing_support::ByName());

} // namespace
