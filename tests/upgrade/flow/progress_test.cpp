// Progress reports from the device side through the plug-in: one record per
// report, byte for byte, and the end of an upgrade refreshing the version.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

#include <cstring>
#include <optional>

namespace {

using flow_testing::failedBox;
using flow_testing::hideBox;
using flow_testing::succeededBox;
using flow_testing::updatingBox;
using testing_support::sameBytes;

const std::string ReportLine = "send 0xfc080003 devicestandin>upgradeviewmodel 40/9";
const std::string BoxLine = "send 0xfc02001e upgradeviewmodel>uistandin 812/9";
// The end of an upgrade and the refresh the view model runs on it.
const std::vector<std::string> EndLines = {
    "send 0xfc0c0c08 upgradeviewmodel>upgradeviewmodel 0/9",
    "command 0xfc050007 upgradeviewmodel>devicestandin 8",
    "command 0xfc050015 upgradeviewmodel>devicestandin 8",
};

struct ReportCase
{
    std::string name;
    int32_t status;
    int32_t progress;
    std::vector<int32_t> parts;
    std::optional<QByteArray> box;  // none: the report sends nothing
    bool ends;                      // followed by 0xfc0c0c08 and the refresh
};

void PrintTo(const ReportCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProgressReport : public flow_testing::FlowFixture, public ::testing::WithParamInterface<ReportCase>
{
};

TEST_P(ProgressReport, BecomesOneRecord)
{
    const ReportCase& c = GetParam();
    device.script().firmwareVersion = "4.0.0";
    testing_support::LogCapture log;

    device.sendProgress(c.status, c.progress, c.parts);

    std::vector<std::string> expected = {ReportLine};
    if (c.box)
        expected.push_back(BoxLine);
    if (c.ends)
        expected.insert(expected.end(), EndLines.begin(), EndLines.end());
    EXPECT_EQ(lines(), expected);
    const std::vector<Standin::TrafficRecord> boxes = trafficOf({Upgrade::MsgMessageBox});
    if (c.box) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(sameBytes(*c.box, boxes[0].bytes));
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_TRUE(sameBytes(*c.box, testing_support::bytesOf(ui.boxes[0])));
    }
    EXPECT_EQ(flow_testing::nodeVersionOf(loader), c.ends ? "4.0.0" : "");
    EXPECT_TRUE(log.lines().empty()) << log.lines().front().message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Updating, ProgressReport,
    ::testing::Values(
        // Without parts the sub rate is six times the total, at most 100.
        ReportCase{"Start", 1, 0, {}, updatingBox(0, 0), false},
        ReportCase{"TenPercent", 1, 10, {}, updatingBox(60, 10), false},
        ReportCase{"SixteenPercent", 1, 16, {}, updatingBox(96, 16), false},
        ReportCase{"SeventeenPercentCapped", 1, 17, {}, updatingBox(100, 17), false},
        ReportCase{"TwentyPercent", 1, 20, {}, updatingBox(100, 20), false},
        ReportCase{"TotalNotClamped", 1, 250, {}, updatingBox(100, 250), false},
        ReportCase{"NegativeTotal", 1, -5, {}, updatingBox(-30, -5), false},
        // Six times in 32 bits: 2400000000 wraps to a negative number.
        ReportCase{"HugeTotalWraps", 1, 400000000, {}, updatingBox(-1894967296, 400000000), false},
        // With parts: the largest part below 100.
        ReportCase{"LargestUnfinishedPart", 1, 50, {100, 42, 99, 7}, updatingBox(99, 50), false},
        ReportCase{"FirstLargerPartStays", 1, 50, {30, 20}, updatingBox(30, 50), false},
        ReportCase{"AllPartsFinished", 1, 100, {100, 100}, updatingBox(0, 100), false},
        ReportCase{"PartAbove100Ignored", 1, 60, {101, 55}, updatingBox(55, 60), false},
        ReportCase{"NegativePartsOnly", 1, 3, {-5}, updatingBox(0, 3), false}),
    flow_testing::caseName<ReportCase>);

INSTANTIATE_TEST_SUITE_P(
    Ends, ProgressReport,
    ::testing::Values(ReportCase{"Succeeded", 2, 100, {}, succeededBox(100), true},
                      // The sub rate is computed for success too; the total never shows.
                      ReportCase{"SucceededTenPercent", 2, 10, {}, succeededBox(60), true},
                      ReportCase{"SucceededWithParts", 2, 100, {100, 50}, succeededBox(50), true},
                      ReportCase{"Failed", 3, 40, {}, failedBox(), true},
                      ReportCase{"FailedWithParts", 3, 40, {50, 70}, failedBox(), true}),
    flow_testing::caseName<ReportCase>);

INSTANTIATE_TEST_SUITE_P(
    Others, ProgressReport,
    ::testing::Values(ReportCase{"Hide", 0, 10, {}, hideBox(), false},
                      ReportCase{"HideWithParts", 0, 10, {20}, hideBox(), false},
                      ReportCase{"UnknownFour", 4, 10, {}, std::nullopt, false},
                      ReportCase{"UnknownNegative", -1, 10, {}, std::nullopt, false}),
    flow_testing::caseName<ReportCase>);

// ---- payloads that are not a report --------------------------------------------

struct RawCase
{
    std::string name;
    QByteArray payload;
    bool withData;
};

void PrintTo(const RawCase& c, std::ostream* os)
{
    *os << c.name;
}

class RawProgress : public flow_testing::FlowFixture, public ::testing::WithParamInterface<RawCase>
{
};

TEST_P(RawProgress, IsDroppedSilently)
{
    testing_support::LogCapture log;
    if (GetParam().withData) {
        device.sendRawProgress(GetParam().payload);
    } else {
        krt::IMessage* event = host.events()->createMessage(Upgrade::MsgUpgradeProgress, 0, nullptr, "devicestandin");
        host.events()->send(&event, 9);
    }
    ASSERT_EQ(host.traffic().size(), 1u);
    EXPECT_EQ(host.traffic()[0].id, Upgrade::MsgUpgradeProgress);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(log.lines().empty());
}

// A report image whose list is empty: zero addresses are an empty list.
QByteArray reportImage(int32_t status, int32_t progress, int size)
{
    QByteArray image(size, '\0');
    std::memcpy(image.data() + 4, &status, 4);
    std::memcpy(image.data() + 8, &progress, 4);
    return image;
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawProgress,
                         ::testing::Values(RawCase{"ThirtyNineBytes", reportImage(1, 10, 39), true},
                                           RawCase{"FortyOneBytes", reportImage(1, 10, 41), true},
                                           RawCase{"Empty", {}, false}),
                         flow_testing::caseName<RawCase>);

using ProgressTest = flow_testing::FlowFixture;

TEST_F(ProgressTest, FortyBytesWithAnEmptyListAreAReport)
{
    device.sendRawProgress(reportImage(1, 10, 40));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(sameBytes(updatingBox(60, 10), testing_support::bytesOf(ui.boxes[0])));
}

TEST_F(ProgressTest, ReportsFollowEachOtherWithoutMemory)
{
    const std::vector<std::pair<int32_t, int32_t>> reports = {{1, 10}, {2, 100}, {1, 5}, {3, 0}, {3, 0}, {0, 0}};
    for (const auto& report : reports)
        device.sendProgress(report.first, report.second);
    const std::vector<QByteArray> expected = {updatingBox(60, 10), succeededBox(100), updatingBox(30, 5),
                                              failedBox(),         failedBox(),       hideBox()};
    ASSERT_EQ(ui.boxes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(sameBytes(expected[i], testing_support::bytesOf(ui.boxes[i]))) << "record " << i;
    EXPECT_EQ(trafficOf({Upgrade::MsgUpgradeFinished}).size(), 3u);
}

} // namespace
