// The upgrade start through the plug-in: node query, first progress box,
// start command with its one file entry, result event, and the box taken
// away when the device side does not take the upgrade.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using Answer = Standin::DeviceStandin::NodeAnswer;
using UpgradeStart = flow_testing::FlowFixture;

// The path runs past the 127 bytes a request may carry and has no zero: the
// entry and the log take its first 127.
TEST_F(UpgradeStart, AcceptedRefusedOrNoNode)
{
    const QByteArray payload = "/media/usb/" + QByteArray(150, 'p');
    const QByteArray path = payload.left(127);
    const struct
    {
        const char* name;
        Answer node;
        uint8_t startByte;
        std::vector<QByteArray> boxes; // records on 0xfc02001e, in order
        std::vector<uint8_t> results; // bytes of 0xfc020005
    } cases[] = {
        // Any byte but 0 is a start.
        {"Accepted", Answer::Fill, 0x7f, {updating(0, 0)}, {0x7f}},
        {"Refused", Answer::Fill, 0, {updating(0, 0), hidden()}, {0}},
        // No node: the device side clears the query's address slot; nothing follows.
        {"NoNode", Answer::ClearSlot, 1, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("1.0");
        device.lastStartEntries.clear();
        device.script() = {c.node, 5, true, "1.0", true, 1, c.startByte};
        testing_support::LogCapture log;

        ui.postEventRaw(Upgrade::MsgSetUpgradeFile, payload);

        EXPECT_TRUE(boxesAre(c.boxes));
        EXPECT_EQ(ui.startResults, c.results);
        EXPECT_TRUE(flow_testing::loggedOnce(
            log, QtDebugMsg, "filePath : \"" + QString::fromUtf8(path) + "\"", "setUpgradeFile"));
        // The 24-byte payload is the sender's list: one entry for the queried node.
        ASSERT_EQ(device.lastStartEntries.size(), c.node == Answer::Fill ? 1u : 0u);
        if (c.node == Answer::Fill) {
            EXPECT_EQ(device.lastStartEntries[0].nodeId, 5);
            EXPECT_EQ(device.lastStartEntries[0].filePath, path.toStdString());
        }
    }
}

} // namespace
