#include "probehandler.h"
#include "recordinghost.h"
#include "testing/paramname.h"
#include "testing/scopedhostapi.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

namespace {

using testing_support::HostCall;
using testing_support::ProbeHandler;
using testing_support::RecordingHost;
using testing_support::ScopedHostApi;

// A payload that differs in every byte, so a shifted or short copy shows.
QByteArray pattern(int size, char seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + 13 * i);
    return bytes;
}

struct ReplyCase
{
    const char* name;
    std::optional<QByteArray> reply;   // what send() leaves in the slot
    int replySize;
    bool copied;
};

class SendCommandTest : public ::testing::TestWithParam<ReplyCase>
{
protected:
    RecordingHost host;
    ScopedHostApi scope{&host};
    ProbeHandler handler{"sender"};
};

TEST_P(SendCommandTest, CopiesOnlyAMatchingReplyAndReleasesReplyThenRequest)
{
    const ReplyCase& c = GetParam();
    host.reply = c.reply;
    host.sendResult = 5;
    QByteArray request = pattern(24, 'a');
    const QByteArray untouched(4, '\x5a');
    QByteArray buffer = untouched;

    const int result = handler.sendCommand(0x1234, request.size(), request.data(), c.replySize,
                                           c.replySize ? buffer.data() : nullptr);

    EXPECT_EQ(result, 5);
    const QByteArray expected = c.copied ? c.reply->left(c.replySize) + untouched.mid(c.replySize) : untouched;
    EXPECT_EQ(buffer.toHex(), expected.toHex());

    ASSERT_EQ(host.ops(), (std::vector<std::string>{"createMessage", "send", "release", "release"}));
    const HostCall& made = host.calls[0];
    EXPECT_EQ(made.id, 0x1234);
    EXPECT_EQ(made.bytes.toHex(), request.toHex());
    EXPECT_EQ(made.sender, "sender");
    EXPECT_EQ(host.calls[1].object, made.object);
    EXPECT_EQ(host.calls[1].number, 0) << "send flags";
    EXPECT_EQ(host.calls[2].object, c.reply ? static_cast<const void*>(host.lastReply) : nullptr);
    EXPECT_EQ(host.calls[3].object, made.object);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SendCommandTest,
    ::testing::Values(ReplyCase{"OneByteMatches", QByteArray(1, '\x01'), 1, true},
                      ReplyCase{"TwoBytesMatch", QByteArray("\x07\x09", 2), 2, true},
                      ReplyCase{"ShorterThanExpected", QByteArray(1, '\x01'), 2, false},
                      ReplyCase{"LongerThanExpected", QByteArray("\x07\x09", 2), 1, false},
                      ReplyCase{"EmptyReplyWithZeroSize", QByteArray(), 0, false},
                      ReplyCase{"ReplyWithZeroSizeExpected", QByteArray(1, '\x01'), 0, false},
                      ReplyCase{"NoReplyWithZeroSize", std::nullopt, 0, false},
                      ReplyCase{"NoReply", std::nullopt, 1, false}),
    testing_support::ByName());

struct EventCase
{
    const char* name;
    bool post;
    int size;
};

class EmitEventTest : public ::testing::TestWithParam<EventCase>
{
protected:
    RecordingHost host;
    ScopedHostApi scope{&host};
    ProbeHandler handler{"sender"};
};

TEST_P(EmitEventTest, HandsTheCreatedMessageToTheDispatcher)
{
    const EventCase& c = GetParam();
    QByteArray payload = pattern(c.size, 'q');
    void* data = c.size ? payload.data() : nullptr;
    if (c.post)
        handler.postEvent(0x77, c.size, data);
    else
        handler.sendEvent(0x77, c.size, data);

    ASSERT_EQ(host.ops(), (std::vector<std::string>{"createMessage", c.post ? "post" : "sendEvent"}));
    const HostCall& made = host.calls[0];
    EXPECT_EQ(made.id, 0x77);
    EXPECT_EQ(made.number, c.size);
    EXPECT_EQ(made.bytes.toHex(), payload.toHex());
    EXPECT_EQ(made.sender, "sender");
    EXPECT_EQ(host.calls[1].object, made.object);
    EXPECT_EQ(host.calls[1].number, c.post ? 0 : 9) << "send mode";
}

INSTANTIATE_TEST_SUITE_P(Events, EmitEventTest,
                         ::testing::Values(EventCase{"PostWithPayload", true, 812},
                                           EventCase{"PostEmpty", true, 0},
                                           EventCase{"SendWithPayload", false, 40},
                                           EventCase{"SendEmpty", false, 0}),
                         testing_support::ByName());

} // namespace
