// The upgrade start through the plug-in: node query, first progress box,
// start command with its one file entry, result event, and the box taken
// away when the device side does not take the upgrade.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using Answer = Standin::DeviceStandin::NodeAnswer;
using namespace flow_testing;
using Lines = std::vector<std::string>;

const QByteArray PackagePath = "/media/usb/firmware.vpk";

using UpgradeStart = FlowFixture;

TEST_F(UpgradeStart, SendsTheFixedSequence)
{
    const std::string Start = "post 0xfc000006 uistandin>upgradeviewmodel 24";
    const std::string& Node = NodeQueryLine;
    const std::string& Box = BoxLine;
    const std::string Command = "command 0xfc050006 upgradeviewmodel>devicestandin 24";
    const std::string Reply = "reply 0xfc050006 devicestandin>upgradeviewmodel ";
    const std::string Result = "post 0xfc020005 upgradeviewmodel>uistandin 1";
    const Lines Accepted = {Start, Node, Box, Command, Reply + "1", Result};
    const struct
    {
        const char* name;
        Answer node;
        bool answerStart;
        int replySize;
        uint8_t startByte;
        Lines traffic;
        std::vector<QByteArray> boxes; // records on 0xfc02001e, in order
        std::vector<uint8_t> results; // bytes of 0xfc020005
        // clang-format off
    } cases[] = {
        {"Accepted", Answer::Fill, true, 1, 1, Accepted, {updatingBox(0, 0)}, {1}},
        {"AcceptedWithOtherByte", Answer::Fill, true, 1, 0x7f, Accepted, {updatingBox(0, 0)}, {0x7f}},
        {"NodeLeftDefault", Answer::Ignore, true, 1, 1, Accepted, {updatingBox(0, 0)}, {1}},
        {"Refused", Answer::Fill, true, 1, 0, {Start, Node, Box, Command, Reply + "1", Result, Box},
         {updatingBox(0, 0), hideBox()}, {0}},
        // A reply of another size is no answer: the result byte stays 0.
        {"TwoByteReply", Answer::Fill, true, 2, 1, {Start, Node, Box, Command, Reply + "2", Result, Box},
         {updatingBox(0, 0), hideBox()}, {0}},
        {"NoReply", Answer::Fill, false, 1, 1, {Start, Node, Box, Command, Result, Box},
         {updatingBox(0, 0), hideBox()}, {0}},
        // No node: the device side clears the query's address slot; nothing follows.
        {"NoNode", Answer::ClearSlot, true, 1, 1, {Start, Node}, {}, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("1.0");
        device.lastStartEntries.clear();
        device.script() = {c.node, 5, true, "1.0", c.answerStart, c.replySize, c.startByte};

        ui.start(PackagePath);

        EXPECT_EQ(lines(), c.traffic);
        EXPECT_TRUE(boxesAre(c.boxes));
        EXPECT_EQ(ui.startResults, c.results);
        // The 24-byte payload is the sender's list: one entry for the queried node.
        if (c.node != Answer::ClearSlot) {
            ASSERT_EQ(device.lastStartEntries.size(), 1u);
            EXPECT_EQ(device.lastStartEntries[0].nodeId, c.node == Answer::Fill ? 5 : 1);
            EXPECT_EQ(device.lastStartEntries[0].filePath, PackagePath.toStdString());
        }
    }
}

} // namespace
