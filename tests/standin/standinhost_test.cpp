#include "testing/hostfixture.h"

#include "upgrade/upgradeids.h"

namespace {

using StandinHostTest = testing_support::HostFixture;

// The stand-in carries a query through the real plug-in to the device side
// and a posted event back to the user interface.
TEST_F(StandinHostTest, RoutesTheNodeRefreshToTheDeviceSide)
{
    device.script().firmwareVersion = "2.0.1";
    ui.postEventRaw(Upgrade::MsgUpgradeFinished, {}, false);
    ASSERT_EQ(host.traffic().size(), 3u);
    EXPECT_EQ(host.traffic()[0].route, Standin::Route::Post);
    EXPECT_EQ(host.traffic()[0].receivers, std::vector<std::string>{"upgradeviewmodel"});
    EXPECT_EQ(host.traffic()[1].id, Upgrade::MsgQueryNodeList);
    EXPECT_EQ(host.traffic()[2].id, Upgrade::MsgQueryFirmwareVersion);
    EXPECT_EQ(host.traffic()[2].receivers, std::vector<std::string>{"devicestandin"});
}

TEST_F(StandinHostTest, ReleaseOfAnUnknownMessageIsAFault)
{
    void* bogus = &host;
    host.commands()->releaseMessage(&bogus);
    ASSERT_EQ(host.faults().size(), 1u);
    host.clearFaults();
}

} // namespace
