// The whole road of one upgrade through the plug-in: file information,
// verification, start, progress to success, the version refresh, and the
// older package now reported as a downgrade.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using namespace flow_testing;
using Lines = std::vector<std::string>;

Lines operator+(Lines first, const Lines& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

using RoadTest = FlowFixture;

TEST_F(RoadTest, OneUpgradeFromChoiceToNewVersion)
{
    PackageFolder folder;
    const QByteArray older = folder.write(
        "older.vpk", fullPackage(headerJson("Vesk", 29974, "1.0", "1.5.0"), {QByteArray(1000, 'o')}));
    const QByteArray newer = folder.write("newer.vpk",
                                          fullPackage(headerJson("Vesk", 29974, "2.0", "2.0.0"),
                                                      {QByteArray(3000, 'x'), QByteArray(5000, 'y')}));
    refreshNodeVersion("1.5.0");

    EXPECT_EQ(ui.queryFileInfo(newer), fileInfoReply(1, 0));
    EXPECT_EQ(ui.queryFileInfo(older), fileInfoReply(1, 0));
    ui.verify(newer);
    ui.start(newer);
    device.sendProgress(1, 10);
    device.sendProgress(1, 50, {100, 40});
    device.sendProgress(1, 100, {100, 100});
    device.script().firmwareVersion = "2.0.0";
    device.sendProgress(2, 100);
    ASSERT_EQ(nodeVersionOf(loader), "2.0.0");
    ui.returnBox(ui.boxes.back());
    EXPECT_EQ(ui.queryFileInfo(older), fileInfoReply(1, 1));
    EXPECT_EQ(ui.queryFileInfo(newer), fileInfoReply(1, 0));

    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{1});
    EXPECT_EQ(ui.startResults, std::vector<uint8_t>{1});
    ASSERT_EQ(device.lastStartEntries.size(), 1u);
    EXPECT_EQ(device.lastStartEntries[0].filePath, newer.toStdString());
    EXPECT_TRUE(boxesAre({updatingBox(0, 0), updatingBox(60, 10), updatingBox(40, 50), updatingBox(0, 100),
                          succeededBox(100)}));

    const std::string pathSize = std::to_string(newer.size() + 1);
    const Lines refresh = {NodeQueryLine, VersionQueryLine};
    const Lines report = {ReportLine, BoxLine};
    const Lines startLines = {"post 0xfc000010 uistandin>upgradeviewmodel " + pathSize,
                              "post 0xfc020019 upgradeviewmodel>uistandin 1",
                              "post 0xfc000006 uistandin>upgradeviewmodel " + pathSize,
                              NodeQueryLine,
                              BoxLine,
                              "command 0xfc050006 upgradeviewmodel>devicestandin 24",
                              "reply 0xfc050006 devicestandin>upgradeviewmodel 1",
                              "post 0xfc020005 upgradeviewmodel>uistandin 1"};
    const Lines ended = {"send 0xfc0c0c08 upgradeviewmodel>upgradeviewmodel 0/9"};
    const Lines returned = {"post 0xfc0c0c13 uistandin>upgradeviewmodel 812",
                            "post 0xfc0c0c0d upgradeviewmodel>upgradeviewmodel 0"};
    EXPECT_EQ(lines(),
              fileInfoLines(newer) + fileInfoLines(older) + startLines + report + report + report + report
                  + ended + refresh + returned + refresh + fileInfoLines(older) + fileInfoLines(newer));
}

} // namespace
