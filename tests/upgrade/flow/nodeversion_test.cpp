// The node-version refresh of the plug-in on its two events, against a
// device side that answers, keeps quiet or has no node.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using Answer = Standin::DeviceStandin::NodeAnswer;

struct RefreshCase
{
    std::string name;
    int trigger;
    Answer node;
    int32_t nodeId;
    bool answerVersion;
    std::vector<std::string> traffic;   // after the trigger itself
    QString versionKey;                 // what the firmware-version request asked for
    std::string nodeVersion;            // kept afterwards; the earlier one was "0.9"
};

void PrintTo(const RefreshCase& c, std::ostream* os)
{
    *os << c.name;
}

class NodeVersionRefresh : public flow_testing::FlowFixture, public ::testing::WithParamInterface<RefreshCase>
{
};

const std::vector<std::string> BothCommands = {
    "command 0xfc050007 upgradeviewmodel>devicestandin 8",
    "command 0xfc050015 upgradeviewmodel>devicestandin 8",
};

TEST_P(NodeVersionRefresh, AsksForTheNodeThenItsVersion)
{
    const RefreshCase& c = GetParam();
    refreshNodeVersion("0.9");
    device.script().node = c.node;
    device.script().nodeId = c.nodeId;
    device.script().answerVersion = c.answerVersion;
    device.script().firmwareVersion = "3.1.4";
    device.lastVersionKey.clear();

    ui.postEventRaw(c.trigger, {}, false);

    std::vector<std::string> expected = {"post " + testing_support::idText(c.trigger) + " uistandin>upgradeviewmodel 0"};
    expected.insert(expected.end(), c.traffic.begin(), c.traffic.end());
    EXPECT_EQ(lines(), expected);
    for (const Standin::TrafficRecord& record : host.traffic()) {
        if (record.route == Standin::Route::Command) {
            EXPECT_NE(record.bytes, QByteArray(8, '\0')) << "a wrapper's address, never zero";
        }
    }
    EXPECT_EQ(device.lastVersionKey, c.versionKey);
    EXPECT_EQ(flow_testing::nodeVersionOf(loader), c.nodeVersion);
}

const int Finished = Upgrade::MsgUpgradeFinished;
const int Changed = Upgrade::MsgDeviceInfoChanged;

INSTANTIATE_TEST_SUITE_P(
    DeviceSides, NodeVersionRefresh,
    ::testing::Values(RefreshCase{"FinishedAnswered", Finished, Answer::Fill, 1, true, BothCommands, "1", "3.1.4"},
                      RefreshCase{"ChangedAnswered", Changed, Answer::Fill, 1, true, BothCommands, "1", "3.1.4"},
                      RefreshCase{"OtherNode", Finished, Answer::Fill, 7, true, BothCommands, "7", "3.1.4"},
                      RefreshCase{"NegativeNode", Changed, Answer::Fill, -2, true, BothCommands, "-2", "3.1.4"},
                      // The wrapper's defaults stand: node 1.
                      RefreshCase{"NodeLeftDefault", Finished, Answer::Ignore, 9, true, BothCommands, "1", "3.1.4"},
                      // An unanswered request empties the version.
                      RefreshCase{"VersionUnanswered", Finished, Answer::Fill, 1, false, BothCommands, "1", ""},
                      RefreshCase{"NoNode",
                                  Changed,
                                  Answer::ClearSlot,
                                  1,
                                  true,
                                  {"command 0xfc050007 upgradeviewmodel>devicestandin 8"},
                                  "",
                                  "0.9"}),
    flow_testing::caseName<RefreshCase>);

using NodeVersionTest = flow_testing::FlowFixture;

TEST_F(NodeVersionTest, RefreshIgnoresThePayloadAndLogsNothing)
{
    testing_support::LogCapture log;
    device.script().firmwareVersion = "2.0";
    ui.postEventRaw(Upgrade::MsgUpgradeFinished, QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(flow_testing::nodeVersionOf(loader), "2.0");
    EXPECT_TRUE(log.lines().empty());
}

} // namespace
