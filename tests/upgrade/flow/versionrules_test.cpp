// The version rules on a view model built in the test, with the device side
// of the stand-in host answering its node-version refresh; and the refresh
// itself through the plug-in.
#include "flowtesting.h"

#include "testing/scopedhostapi.h"
#include "upgrade/upgradeids.h"

namespace {

using flow_testing::isViewModelLine;
using testing_support::LogCapture;

const std::string TenNines = "9.9.9.9.9.9.9.9.9.9";

class VersionRules : public ::testing::Test
{
protected:
    void SetUp() override { device.registerWithHost(); }

    // The device reports this firmware version and the view model keeps it.
    void deviceRuns(const std::string& version)
    {
        device.script().firmwareVersion = version;
        model.initNodeVersion(nullptr);
        ASSERT_EQ(model.currentNodeVersion(), version);
    }

    Standin::StandinHost host;
    testing_support::ScopedHostApi scope{&host};
    Standin::DeviceStandin device{host};
    Upgrade::UpgradeViewModel model;
};

// isDownGrade: a version counts as the number its digits spell; none, or
// more than an int holds, count as 0. isUnallowedDownGrade: digit by digit
// against the lowest supported version, a larger digit does not settle it, a
// later smaller one still makes the package too old. Each logs one line.
TEST_F(VersionRules, CompareVersionsAndLogThem)
{
    const QString DownGrade = R"(current device version "%1" upgradeFile version "%2")";
    const QString Unallowed = R"(support min device version "%1" upgradeFile version "%2")";
    const struct
    {
        bool downGradeRule; // isDownGrade(b) on device a, else isUnallowedDownGrade(b, a)
        std::string a;
        std::string b;
        bool result;
        // clang-format off
    } cases[] = {
        {true, "1.3.0", "1.2.9", true},   {true, "1.2.3", "1.2.4", false}, {true, "1.2.3", "1.2.3", false},
        {true, "1.10.0", "1.9.0", true},  {true, "", "1.0.0", false},      {true, "1.0", "beta", true},
        {true, TenNines, "0.0.1", false}, {true, "1.0", TenNines, true},   {true, "V2.0", "2.0", false},
        // 1210 > 130 although the package's middle part is higher.
        {true, "1.2.10", "1.3.0", true},
        {false, "1.2.0", "1.2.3", false}, {false, "1.2.3", "1.2.0", true}, {false, "1.2.0", "2.0.0", true},
        {false, "1.2.0", "1.2", true},    {false, "1.2.3", "1.2.3.4", false}, {false, "", "1.0", false},
        {false, "0", "1.0", false},       {false, "1.0", "", true},        {false, "1.0", TenNines, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE((c.downGradeRule ? "device " : "minimum ") + c.a + ", package " + c.b);
        if (c.downGradeRule)
            deviceRuns(c.a);
        LogCapture log;
        EXPECT_EQ(c.downGradeRule ? model.isDownGrade(c.b) : model.isUnallowedDownGrade(c.b, c.a), c.result);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_TRUE(isViewModelLine(log.lines()[0], QtInfoMsg,
                                    (c.downGradeRule ? DownGrade : Unallowed)
                                        .arg(QString::fromStdString(c.a), QString::fromStdString(c.b)),
                                    c.downGradeRule ? flow_testing::IsDownGradeSignature
                                                    : flow_testing::IsUnallowedDownGradeSignature));
    }
}

// ---- the node-version refresh through the plug-in --------------------------------

using Answer = Standin::DeviceStandin::NodeAnswer;
using NodeVersionRefresh = flow_testing::FlowFixture;

// Both events ask for the node, then for its firmware version, each time with
// the address of a wrapper the device side fills in place.
TEST_F(NodeVersionRefresh, AsksForTheNodeThenItsVersion)
{
    const int Finished = Upgrade::MsgUpgradeFinished;
    const int Changed = Upgrade::MsgDeviceInfoChanged;
    const struct
    {
        const char* name;
        int trigger;
        Answer node;
        int32_t nodeId;
        bool answerVersion;
        QString versionKey; // what the firmware-version request asked for; empty: not sent
        std::string nodeVersion; // kept afterwards; the earlier one was "0.9"
    } cases[] = {
        {"FinishedAnswered", Finished, Answer::Fill, 1, true, "1", "3.1.4"},
        {"OtherNode", Changed, Answer::Fill, -2, true, "-2", "3.1.4"},
        // The wrapper's defaults stand: node 1.
        {"NodeLeftDefault", Finished, Answer::Ignore, 9, true, "1", "3.1.4"},
        // An unanswered request empties the version.
        {"VersionUnanswered", Finished, Answer::Fill, 1, false, "1", ""},
        {"NoNode", Changed, Answer::ClearSlot, 1, true, "", "0.9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("0.9");
        device.script() = {c.node, c.nodeId, c.answerVersion, "3.1.4"};
        device.lastVersionKey.clear();
        LogCapture log;

        ui.postEventRaw(c.trigger, QByteArray("\x01\x02\x03", 3));

        std::vector<std::string> expected
            = {"post " + testing_support::idText(c.trigger) + " uistandin>upgradeviewmodel 3",
               flow_testing::NodeQueryLine};
        if (!c.versionKey.isEmpty())
            expected.push_back(flow_testing::VersionQueryLine);
        EXPECT_EQ(lines(), expected);
        for (const Standin::TrafficRecord& record :
             trafficOf({Upgrade::MsgQueryNodeList, Upgrade::MsgQueryFirmwareVersion}))
            EXPECT_NE(record.bytes, QByteArray(8, '\0')) << "a wrapper's address, never zero";
        EXPECT_EQ(device.lastVersionKey, c.versionKey);
        EXPECT_EQ(flow_testing::nodeVersionOf(loader), c.nodeVersion);
        EXPECT_TRUE(log.lines().empty());
    }
}

} // namespace
