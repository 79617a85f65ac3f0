// The upgrade start through the plug-in: node query, first progress box,
// start command with its one file entry, result event, and the box taken
// away when the device side does not take the upgrade.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using Answer = Standin::DeviceStandin::NodeAnswer;
using flow_testing::hideBox;
using flow_testing::updatingBox;
using testing_support::sameBytes;

const QByteArray PackagePath = "/media/usb/firmware.vpk";

const std::string StartLine = "post 0xfc000006 uistandin>upgradeviewmodel 24";
const std::string NodeLine = "command 0xfc050007 upgradeviewmodel>devicestandin 8";
const std::string BoxLine = "send 0xfc02001e upgradeviewmodel>uistandin 812/9";
const std::string StartCommandLine = "command 0xfc050006 upgradeviewmodel>devicestandin 24";
const std::string ResultLine = "post 0xfc020005 upgradeviewmodel>uistandin 1";

std::string replyLine(int size)
{
    return "reply 0xfc050006 devicestandin>upgradeviewmodel " + std::to_string(size);
}

struct StartCase
{
    std::string name;
    Answer node;
    bool answerStart;
    int replySize;
    uint8_t startByte;
    std::vector<std::string> traffic;
    std::vector<QByteArray> boxes;      // records on 0xfc02001e, in order
    std::vector<uint8_t> results;       // bytes of 0xfc020005
};

void PrintTo(const StartCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpgradeStart : public flow_testing::FlowFixture, public ::testing::WithParamInterface<StartCase>
{
};

TEST_P(UpgradeStart, SendsTheFixedSequence)
{
    const StartCase& c = GetParam();
    device.script().node = c.node;
    device.script().answerStart = c.answerStart;
    device.script().startReplySize = c.replySize;
    device.script().startByte = c.startByte;

    ui.start(PackagePath);

    EXPECT_EQ(lines(), c.traffic);
    const std::vector<Standin::TrafficRecord> boxes = trafficOf({Upgrade::MsgMessageBox});
    ASSERT_EQ(boxes.size(), c.boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
        EXPECT_TRUE(sameBytes(c.boxes[i], boxes[i].bytes)) << "record " << i;
    EXPECT_EQ(ui.boxes.size(), c.boxes.size());
    EXPECT_EQ(ui.startResults, c.results);
}

const std::vector<std::string> Accepted = {StartLine, NodeLine, BoxLine, StartCommandLine, replyLine(1), ResultLine};
const std::vector<std::string> Refused = {StartLine,    NodeLine,   BoxLine, StartCommandLine,
                                          replyLine(1), ResultLine, BoxLine};

INSTANTIATE_TEST_SUITE_P(
    DeviceSides, UpgradeStart,
    ::testing::Values(
        StartCase{"Accepted", Answer::Fill, true, 1, 1, Accepted, {updatingBox(0, 0)}, {1}},
        StartCase{"AcceptedWithOtherByte", Answer::Fill, true, 1, 0x7f, Accepted, {updatingBox(0, 0)}, {0x7f}},
        StartCase{"NodeLeftDefault", Answer::Ignore, true, 1, 1, Accepted, {updatingBox(0, 0)}, {1}},
        StartCase{"Refused", Answer::Fill, true, 1, 0, Refused, {updatingBox(0, 0), hideBox()}, {0}},
        // A reply of another size is no answer: the result byte stays 0.
        StartCase{"TwoByteReply",
                  Answer::Fill,
                  true,
                  2,
                  1,
                  {StartLine, NodeLine, BoxLine, StartCommandLine, replyLine(2), ResultLine, BoxLine},
                  {updatingBox(0, 0), hideBox()},
                  {0}},
        StartCase{"EmptyReply",
                  Answer::Fill,
                  true,
                  0,
                  1,
                  {StartLine, NodeLine, BoxLine, StartCommandLine, replyLine(0), ResultLine, BoxLine},
                  {updatingBox(0, 0), hideBox()},
                  {0}},
        StartCase{"NoReply",
                  Answer::Fill,
                  false,
                  1,
                  1,
                  {StartLine, NodeLine, BoxLine, StartCommandLine, ResultLine, BoxLine},
                  {updatingBox(0, 0), hideBox()},
                  {0}},
        // No node: nothing at all after the query.
        StartCase{"NoNode", Answer::ClearSlot, true, 1, 1, {StartLine, NodeLine}, {}, {}}),
    flow_testing::caseName<StartCase>);

using UpgradeStartTest = flow_testing::FlowFixture;

TEST_F(UpgradeStartTest, SendsOneFileEntryForTheQueriedNode)
{
    device.script().nodeId = 5;
    ui.start(PackagePath);

    ASSERT_EQ(device.lastStartEntries.size(), 1u);
    const LCD::ProtoModel::Device::s_UpgradeFileConfig& entry = device.lastStartEntries.front();
    EXPECT_EQ(entry.nodeId, 5);
    EXPECT_EQ(entry.fileType, 0);
    EXPECT_EQ(entry.fileIndex, 0);
    EXPECT_EQ(entry.filePath, PackagePath.toStdString());
    EXPECT_EQ(entry.fileName, "");
    EXPECT_EQ(entry.option, 0);
    EXPECT_TRUE(sameBytes(QByteArray("\0\0\0\0\x01\0\0\0", 8), testing_support::bytesOf(entry.transferMode)));
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_TRUE(entry.segments.empty());
}

TEST_F(UpgradeStartTest, WithoutPayloadWarnsAndSendsNothing)
{
    testing_support::LogCapture log;
    ui.postEventRaw(Upgrade::MsgSetUpgradeFile, {}, false);
    EXPECT_EQ(lines(), std::vector<std::string>{"post 0xfc000006 uistandin>upgradeviewmodel 0"});
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtWarningMsg, "resp does not matches.",
                                                flow_testing::SetUpgradeFileSignature));
}

TEST_F(UpgradeStartTest, LogsThePathAndNothingElse)
{
    testing_support::LogCapture log;
    device.script().startByte = 0;
    ui.start(PackagePath);
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtDebugMsg, "filePath : \"" + PackagePath + "\"",
                                                flow_testing::SetUpgradeFileSignature));
}

// ---- path payloads, for both handlers that take one ---------------------------

struct PathCase
{
    std::string name;
    QByteArray payload;
    QByteArray path;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << c.name;
}

class PathPayload : public flow_testing::FlowFixture, public ::testing::WithParamInterface<PathCase>
{
};

TEST_P(PathPayload, StartUsesTheTextUpToItsEnd)
{
    ui.postEventRaw(Upgrade::MsgSetUpgradeFile, GetParam().payload);
    ASSERT_EQ(device.lastStartEntries.size(), 1u);
    EXPECT_TRUE(sameBytes(GetParam().path, QByteArray::fromStdString(device.lastStartEntries[0].filePath)));
}

TEST_P(PathPayload, FileInformationLogsTheSameText)
{
    testing_support::LogCapture log;
    ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, GetParam().payload);
    const std::vector<testing_support::LogLine> logged = log.matching("filePath :");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(flow_testing::isViewModelLine(logged[0], QtDebugMsg,
                                              "filePath : \"" + QString::fromUtf8(GetParam().path) + "\"",
                                              flow_testing::GetUpgradeFileInfoSignature));
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, PathPayload,
    ::testing::Values(PathCase{"Terminated", QByteArray("/a/b.vpk\0", 9), "/a/b.vpk"},
                      PathCase{"LongestAccepted", QByteArray(127, 'p') + '\0', QByteArray(127, 'p')},
                      PathCase{"TooLongCutAt127", QByteArray(200, 'q'), QByteArray(127, 'q')},
                      PathCase{"UnterminatedShort", QByteArray("/x"), "/x"},
                      PathCase{"EndsAtFirstZero", QByteArray("/a\0/b\0", 6), "/a"},
                      PathCase{"Empty", QByteArray(1, '\0'), ""},
                      PathCase{"Utf8", QByteArray("/media/\xc3\x9c" "bersicht.vpk\0", 22),
                               "/media/\xc3\x9c" "bersicht.vpk"}),
    flow_testing::caseName<PathCase>);

} // namespace
