// The version rules on a view model built in the test, with the device side
// of the stand-in host answering its node-version refresh; and the refresh
// itself through the plug-in.
#include "flowtesting.h"

#include "testing/scopedhostapi.h"
#include "upgrade/upgradeids.h"

namespace {

// isDownGrade: a version counts as the number its digits spell, none count as
// 0. isUnallowedDownGrade: digit by digit against the lowest supported
// version; a larger digit does not settle it, a later smaller or missing one
// still makes the package too old. Each logs one line.
TEST(VersionRules, CompareVersionsAndLogThem)
{
    Standin::StandinHost host;
    testing_support::ScopedHostApi scope{&host};
    Standin::DeviceStandin device{host};
    device.registerWithHost();
    Upgrade::UpgradeViewModel model;

    const struct
    {
        bool downGradeRule; // isDownGrade(b) on device a, else isUnallowedDownGrade(b, a)
        std::string a;
        std::string b;
        bool result;
        // clang-format off
    } cases[] = {
        // 1210 > 130 although the package's middle part is higher.
        {true, "1.2.10", "1.3.0", true}, {true, "1.2.3", "1.2.3", false}, {true, "", "1.0.0", false},
        {false, "1.2.0", "2.0.0", true}, {false, "2.0.0", "1.9.9", true}, {false, "1.2.0", "1.2", true},
        {false, "1.2.3", "1.2.3.4", false}, {false, "", "1.0", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE((c.downGradeRule ? "device " : "minimum ") + c.a + ", package " + c.b);
        if (c.downGradeRule) {
            device.script().firmwareVersion = c.a;
            model.initNodeVersion(nullptr);
        }
        testing_support::LogCapture log;
        EXPECT_EQ(c.downGradeRule ? model.isDownGrade(c.b) : model.isUnallowedDownGrade(c.b, c.a), c.result);
        const QString said = c.downGradeRule ? R"(current device version "%1" upgradeFile version "%2")"
                                             : R"(support min device version "%1" upgradeFile version "%2")";
        EXPECT_TRUE(flow_testing::loggedOnce(
            log, QtInfoMsg, said.arg(QString::fromStdString(c.a), QString::fromStdString(c.b)),
            c.downGradeRule ? "isDownGrade" : "isUnallowedDownGrade"));
    }
    // The device-type rule: the magic and the model, each on its own.
    EXPECT_TRUE(model.isDeviceTypeMatched({"Vesk", 29974, "", ""}));
    EXPECT_FALSE(model.isDeviceTypeMatched({"Vesk", 29975, "", ""}));
}

// ---- the node-version refresh through the plug-in --------------------------------

using Answer = Standin::DeviceStandin::NodeAnswer;
using NodeVersionRefresh = flow_testing::FlowFixture;

// The event asks for the node, then for that node's firmware version.
TEST_F(NodeVersionRefresh, AsksForTheNodeThenItsVersion)
{
    const struct
    {
        const char* name;
        Answer node;
        bool answerVersion;
        QString versionKey; // what the firmware-version request asked for; empty: not sent
        std::string nodeVersion; // kept afterwards; the earlier one was "0.9"
    } cases[] = {
        {"Answered", Answer::Fill, true, "-2", "3.1.4"},
        // An unanswered request empties the version.
        {"VersionUnanswered", Answer::Fill, false, "-2", ""},
        {"NoNode", Answer::ClearSlot, true, "", "0.9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("0.9");
        device.script() = {c.node, -2, c.answerVersion, "3.1.4"};
        device.lastVersionKey.clear();

        ui.postEventRaw(Upgrade::MsgDeviceInfoChanged, {}, false);

        EXPECT_EQ(device.lastVersionKey, c.versionKey);
        EXPECT_EQ(flow_testing::nodeVersionOf(loader), c.nodeVersion);
    }
}

} // namespace
