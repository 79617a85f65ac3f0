#include "probehandler.h"
#include "standin/host/standinhost.h"
#include "standin/host/standinmessage.h"
#include "testing/logcapture.h"
#include "testing/paramname.h"
#include "testing/scopedhostapi.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <functional>
#include <memory>
#include <string>

namespace {

using testing_support::LogCapture;
using testing_support::ProbeHandler;
using testing_support::ScopedHostApi;

// Where the component was made: before pluginit, or with a host that lacks
// one dispatcher.
enum class Setup { NoHost, NoCommandDispatcher, NoEventDispatcher };

enum class Service { Command, Event };

struct Operation
{
    const char* name;
    Service needs;
    bool registration;
    // The operation's result; void operations give 0.
    std::function<int(ProbeHandler&)> run;
};

int dispatched = 0;

const Operation operations[] = {
    {"registerCommand", Service::Command, true,
     [](ProbeHandler& h) {
         return h.registerCommand(0x21, [](const krt::IMessage*) -> const krt::IMessage* {
             ++dispatched;
             return nullptr;
         });
     }},
    {"registerEvent", Service::Event, true,
     [](ProbeHandler& h) {
         return h.registerEvent(0x22, [](const krt::IMessage*) -> const krt::IMessage* {
             ++dispatched;
             return nullptr;
         });
     }},
    {"sendCommand", Service::Command, false,
     [](ProbeHandler& h) {
         char request[8] = {1, 2, 3, 4, 5, 6, 7, 8};
         char reply = 0x5a;
         const int result = h.sendCommand(0x23, sizeof request, request, 1, &reply);
         EXPECT_EQ(reply, 0x5a) << "reply buffer written without a reply";
         return result;
     }},
    {"postEvent", Service::Event, false,
     [](ProbeHandler& h) {
         char payload = 1;
         h.postEvent(0x24, 1, &payload);
         return 0;
     }},
    {"sendEvent", Service::Event, false,
     [](ProbeHandler& h) {
         h.sendEvent(0x25, 0, nullptr);
         return 0;
     }},
};

struct Case
{
    Setup setup;
    const Operation* operation;
};

bool skipped(const Case& c)
{
    switch (c.setup) {
    case Setup::NoHost:
        return true;
    case Setup::NoCommandDispatcher:
        return c.operation->needs == Service::Command;
    case Setup::NoEventDispatcher:
        return c.operation->needs == Service::Event;
    }
    return false;
}

std::string caseName(const Case& c)
{
    static const char* const setups[] = {"NoHost", "NoCommandDispatcher", "NoEventDispatcher"};
    return std::string(setups[int(c.setup)]) + "_" + c.operation->name;
}

struct ByCaseName
{
    std::string operator()(const ::testing::TestParamInfo<Case>& info) const { return caseName(info.param); }
};

class MissingServiceTest : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        dispatched = 0;
        if (GetParam().setup == Setup::NoCommandDispatcher)
            host.hideService(krt::CommandDispatcherService);
        if (GetParam().setup == Setup::NoEventDispatcher)
            host.hideService(krt::EventDispatcherService);
        scope = std::make_unique<ScopedHostApi>(GetParam().setup == Setup::NoHost ? nullptr : &host);
        handler = std::make_unique<ProbeHandler>();
    }

    void TearDown() override
    {
        host.processEvents();
        EXPECT_TRUE(host.faults().empty());
        EXPECT_EQ(host.liveMessages(), 0);
    }

    Standin::StandinHost host;
    std::unique_ptr<ScopedHostApi> scope;
    std::unique_ptr<ProbeHandler> handler;
};

TEST_P(MissingServiceTest, SkipsTheCallWithAWarningInsteadOfCrashing)
{
    const Case& c = GetParam();
    LogCapture log;
    const int result = c.operation->run(*handler);

    const QString warning = c.operation->needs == Service::Command ? "no command dispatcher"
                                                                    : "no event dispatcher";
    if (skipped(c)) {
        EXPECT_EQ(log.count(warning), 1);
        EXPECT_TRUE(host.traffic().empty());
        EXPECT_TRUE(host.registrations().empty());
        if (c.operation->registration || c.operation->needs == Service::Command) {
            EXPECT_EQ(result, -1);
        }
    } else {
        EXPECT_EQ(log.count(warning), 0);
        EXPECT_EQ(host.traffic().size() + host.registrations().size(), 1u);
    }
}

// Every set-up with every operation, or only the registrations it skips.
std::vector<Case> cases(bool skippedRegistrationsOnly)
{
    std::vector<Case> picked;
    for (Setup setup : {Setup::NoHost, Setup::NoCommandDispatcher, Setup::NoEventDispatcher}) {
        for (const Operation& operation : operations) {
            const Case c{setup, &operation};
            if (!skippedRegistrationsOnly || (operation.registration && skipped(c)))
                picked.push_back(c);
        }
    }
    return picked;
}

INSTANTIATE_TEST_SUITE_P(Services, MissingServiceTest, ::testing::ValuesIn(cases(false)),
                         ByCaseName());

// Registration keeps the handler in the component's own table whatever the
// host could be told, so deliveries still reach it.
using RegistrationWithoutServiceTest = MissingServiceTest;

TEST_P(RegistrationWithoutServiceTest, HandlerStillRuns)
{
    const Case& c = GetParam();
    c.operation->run(*handler);
    const bool command = c.operation->needs == Service::Command;
    const Standin::StandinMessage message(command ? krt::MessageTypeCommand : krt::MessageTypeEvent,
                                          command ? 0x21 : 0x22, 0, nullptr, "test");
    handler->handleMessage(&message);
    EXPECT_EQ(dispatched, 1);
}

INSTANTIATE_TEST_SUITE_P(Services, RegistrationWithoutServiceTest, ::testing::ValuesIn(cases(true)),
                         ByCaseName());

TEST(MissingHost, ComponentMadeBeforePluginitWarnsOnce)
{
    ScopedHostApi scope(nullptr);
    LogCapture log;
    ProbeHandler handler;
    EXPECT_EQ(log.count("no host api"), 1);
}

} // namespace
