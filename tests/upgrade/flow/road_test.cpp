// The whole road of one upgrade through the plug-in: file information,
// verification, start, progress to success, the version refresh, and the
// older package now reported as a downgrade.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using flow_testing::fullPackage;
using flow_testing::headerJson;
using flow_testing::succeededBox;
using flow_testing::updatingBox;
using testing_support::sameBytes;

QByteArray flags(bool matched, bool downGrade)
{
    return QByteArray(1, char(matched)) + char(downGrade);
}

std::string size(const QByteArray& path)
{
    return std::to_string(path.size() + 1);
}

using RoadTest = flow_testing::FlowFixture;

TEST_F(RoadTest, OneUpgradeFromChoiceToNewVersion)
{
    flow_testing::PackageFolder folder;
    const QByteArray older = folder.write("older.vpk", fullPackage(headerJson("Vesk", 29974, "1.0", "1.5.0"),
                                                                   {QByteArray(1000, 'o')}));
    const QByteArray newer = folder.write("newer.vpk", fullPackage(headerJson("Vesk", 29974, "2.0", "2.0.0"),
                                                                   {QByteArray(3000, 'x'), QByteArray(5000, 'y')}));
    refreshNodeVersion("1.5.0");

    EXPECT_EQ(ui.queryFileInfo(newer), flags(1, 0));
    EXPECT_EQ(ui.queryFileInfo(older), flags(1, 0));
    ui.verify(newer);
    ui.start(newer);
    device.sendProgress(1, 10);
    device.sendProgress(1, 50, {100, 40});
    device.sendProgress(1, 100, {100, 100});
    device.script().firmwareVersion = "2.0.0";
    device.sendProgress(2, 100);
    ASSERT_EQ(flow_testing::nodeVersionOf(loader), "2.0.0");
    ui.returnBox(ui.boxes.back());
    EXPECT_EQ(ui.queryFileInfo(older), flags(1, 1));
    EXPECT_EQ(ui.queryFileInfo(newer), flags(1, 0));

    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{1});
    EXPECT_EQ(ui.startResults, std::vector<uint8_t>{1});
    ASSERT_EQ(device.lastStartEntries.size(), 1u);
    EXPECT_EQ(device.lastStartEntries[0].filePath, newer.toStdString());
    const std::vector<QByteArray> boxes = {updatingBox(0, 0), updatingBox(60, 10), updatingBox(40, 50),
                                           updatingBox(0, 100), succeededBox(100)};
    ASSERT_EQ(ui.boxes.size(), boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
        EXPECT_TRUE(sameBytes(boxes[i], testing_support::bytesOf(ui.boxes[i]))) << "record " << i;

    const std::string report = "send 0xfc080003 devicestandin>upgradeviewmodel 40/9";
    const std::string box = "send 0xfc02001e upgradeviewmodel>uistandin 812/9";
    const std::string nodeQuery = "command 0xfc050007 upgradeviewmodel>devicestandin 8";
    const std::string versionQuery = "command 0xfc050015 upgradeviewmodel>devicestandin 8";
    const std::vector<std::string> expected = {
        "command 0xfc000029 uistandin>upgradeviewmodel " + size(newer),
        "reply 0xfc000029 upgradeviewmodel>uistandin 2",
        "command 0xfc000029 uistandin>upgradeviewmodel " + size(older),
        "reply 0xfc000029 upgradeviewmodel>uistandin 2",
        "post 0xfc000010 uistandin>upgradeviewmodel " + size(newer),
        "post 0xfc020019 upgradeviewmodel>uistandin 1",
        "post 0xfc000006 uistandin>upgradeviewmodel " + size(newer),
        nodeQuery,
        box,
        "command 0xfc050006 upgradeviewmodel>devicestandin 24",
        "reply 0xfc050006 devicestandin>upgradeviewmodel 1",
        "post 0xfc020005 upgradeviewmodel>uistandin 1",
        report, box,
        report, box,
        report, box,
        report, box,
        "send 0xfc0c0c08 upgradeviewmodel>upgradeviewmodel 0/9",
        nodeQuery, versionQuery,
        "post 0xfc0c0c13 uistandin>upgradeviewmodel 812",
        "post 0xfc0c0c0d upgradeviewmodel>upgradeviewmodel 0",
        nodeQuery, versionQuery,
        "command 0xfc000029 uistandin>upgradeviewmodel " + size(older),
        "reply 0xfc000029 upgradeviewmodel>uistandin 2",
        "command 0xfc000029 uistandin>upgradeviewmodel " + size(newer),
        "reply 0xfc000029 upgradeviewmodel>uistandin 2",
    };
    EXPECT_EQ(lines(), expected);
}

} // namespace
