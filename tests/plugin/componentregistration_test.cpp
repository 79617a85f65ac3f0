#include "message/messagehandler.h"
#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/paramname.h"
#include "testing/scopedhostapi.h"
#include "upgrade/upgradeids.h"
#include "upgrade/upgradeviewmodel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testing_support::LogCapture;
using testing_support::ScopedHostApi;

using RegistrationKey = std::tuple<bool, unsigned, std::string>;   // command?, id, sender

// The view model's handlers as the host must hear of them, in order.
const std::vector<RegistrationKey> expectedRegistrations = {
    {false, 0xfc000006u, "upgradeviewmodel"}, {false, 0xfc0c0c08u, "upgradeviewmodel"},
    {false, 0xfc0c0c0du, "upgradeviewmodel"}, {true, 0xfc000029u, "upgradeviewmodel"},
    {false, 0xfc0c0c13u, "upgradeviewmodel"}, {false, 0xfc000010u, "upgradeviewmodel"},
    {false, 0xfc080003u, "upgradeviewmodel"},
};

std::vector<RegistrationKey> keysOf(const std::vector<Standin::Registration>& registrations)
{
    std::vector<RegistrationKey> keys;
    for (const Standin::Registration& r : registrations)
        keys.emplace_back(r.command, static_cast<unsigned>(r.id), r.sender);
    return keys;
}

std::set<unsigned> idsOf(const std::unordered_map<int, LCD::Message::MessageHandlerFunc>& table)
{
    std::set<unsigned> ids;
    for (const auto& entry : table)
        ids.insert(static_cast<unsigned>(entry.first));
    return ids;
}

// The real plug-in loaded into the stand-in host but not yet initialised.
class ComponentRegistrationTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        loader.unload();
        EXPECT_TRUE(host.faults().empty());
        EXPECT_EQ(host.liveMessages(), 0);
    }

    Standin::StandinHost host;
    Standin::PluginLoader loader{host};
};

TEST_F(ComponentRegistrationTest, InitialiseRegistersOneCommandAndSixEventsInOrder)
{
    ASSERT_TRUE(loader.load(testing_support::pluginPath()));
    EXPECT_TRUE(host.registrations().empty());
    loader.initialise();
    EXPECT_EQ(keysOf(host.registrations()), expectedRegistrations);
}

TEST_F(ComponentRegistrationTest, SecondInitialiseRepeatsTheHostRegistrations)
{
    ASSERT_TRUE(loader.load(testing_support::pluginPath()));
    loader.initialise();
    loader.initialise();
    std::vector<RegistrationKey> twice = expectedRegistrations;
    twice.insert(twice.end(), expectedRegistrations.begin(), expectedRegistrations.end());
    EXPECT_EQ(keysOf(host.registrations()), twice);
}

TEST_F(ComponentRegistrationTest, HostWithoutCommandDispatcherGetsTheSixEventsOnly)
{
    host.hideService(krt::CommandDispatcherService);
    ASSERT_TRUE(loader.load(testing_support::pluginPath()));
    LogCapture log;
    loader.initialise();
    EXPECT_EQ(log.count("no command dispatcher"), 1);
    std::vector<RegistrationKey> events = expectedRegistrations;
    events.erase(events.begin() + 3);
    EXPECT_EQ(keysOf(host.registrations()), events);
}

// The static core's view model, built directly against the stand-in host.
TEST(ViewModelTables, HoldOneCommandAndSixEventsAndKeepThemOnASecondInitialise)
{
    Standin::StandinHost host;
    ScopedHostApi scope(&host);
    Upgrade::UpgradeViewModel model;
    EXPECT_EQ(model.componentName(), "upgradeviewmodel");
    EXPECT_TRUE(model.commandTable().empty());
    EXPECT_TRUE(model.eventTable().empty());

    const std::set<unsigned> commands = {0xfc000029u};
    const std::set<unsigned> events = {0xfc000006u, 0xfc0c0c08u, 0xfc0c0c0du,
                                       0xfc0c0c13u, 0xfc000010u, 0xfc080003u};
    for (int round = 1; round <= 2; ++round) {
        const Standin::StandinMessage init(krt::MessageTypeEvent, LCD::Message::MsgInitialize, 0, nullptr, "host");
        EXPECT_EQ(model.handleMessage(&init), nullptr);
        EXPECT_EQ(idsOf(model.commandTable()), commands) << "round " << round;
        EXPECT_EQ(idsOf(model.eventTable()), events) << "round " << round;
        EXPECT_EQ(host.registrations().size(), 7u * round);
    }
    for (const auto& entry : model.eventTable())
        EXPECT_TRUE(entry.second) << std::hex << entry.first;
    EXPECT_TRUE(model.commandTable().at(Upgrade::MsgGetUpgradeFileInfo));
}

struct DeliveryCase
{
    const char* name;
    int type;
    unsigned id;
};

// The real plug-in, initialised: deliveries that must find no handler.
class UnhandledDeliveryTest : public testing_support::HostFixture,
                              public ::testing::WithParamInterface<DeliveryCase>
{
};

TEST_P(UnhandledDeliveryTest, GivesNullAndMakesNoTraffic)
{
    const DeliveryCase& c = GetParam();
    EXPECT_FALSE(host.deliver(loader.componentName().toStdString(), c.type, static_cast<int>(c.id),
                              QByteArray(16, '\x01')));
    host.processEvents();
    EXPECT_TRUE(host.traffic().empty());
    EXPECT_TRUE(host.registrations().empty());
}

constexpr int Command = krt::MessageTypeCommand;
constexpr int Event = krt::MessageTypeEvent;

INSTANTIATE_TEST_SUITE_P(
    Deliveries, UnhandledDeliveryTest,
    ::testing::Values(DeliveryCase{"FileInfoCommandAsEvent", Event, 0xfc000029u},
                      DeliveryCase{"StartEventAsCommand", Command, 0xfc000006u},
                      DeliveryCase{"ProgressEventAsCommand", Command, 0xfc080003u},
                      DeliveryCase{"RefreshEventAsCommand", Command, 0xfc0c0c08u},
                      DeliveryCase{"UnknownCommand", Command, 0xfc000030u},
                      DeliveryCase{"UnknownEvent", Event, 0xfc000007u},
                      DeliveryCase{"UnknownKind", 0, 0xfc000006u},
                      DeliveryCase{"FrameworkFfff0001", Event, 0xffff0001u},
                      DeliveryCase{"FrameworkFfff0002", Command, 0xffff0002u},
                      DeliveryCase{"FrameworkFffffffe", Event, 0xfffffffeu},
                      DeliveryCase{"FrameworkFfffffff", Command, 0xffffffffu},
                      DeliveryCase{"FrameworkFfff0003", Event, 0xffff0003u}),
    testing_support::ByName());

} // namespace
