// Progress reports from the device side through the plug-in, one record per
// report byte for byte, the end of an upgrade refreshing the version; and the
// records the user interface hands back, with their one-line log form.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

#include <cstring>
#include <optional>

namespace {

using namespace flow_testing;
using testing_support::LogCapture;
using Lines = std::vector<std::string>;

const Lines RefreshLines = {NodeQueryLine, VersionQueryLine};

using ProgressTest = FlowFixture;

// The reports run one after the other on one plug-in: none remembers the last.
TEST_F(ProgressTest, EachReportBecomesOneRecord)
{
    const struct
    {
        const char* name;
        int32_t status;
        int32_t progress;
        std::vector<int32_t> parts;
        std::optional<QByteArray> box; // none: the report sends nothing
        bool ends; // followed by 0xfc0c0c08 and the refresh
    } cases[] = {
        // Without parts the sub rate is six times the total, at most 100.
        {"Start", 1, 0, {}, updatingBox(0, 0), false},
        {"TenPercent", 1, 10, {}, updatingBox(60, 10), false},
        {"SixteenPercent", 1, 16, {}, updatingBox(96, 16), false},
        {"CappedSubRateUnclampedTotal", 1, 250, {}, updatingBox(100, 250), false},
        {"NegativeTotal", 1, -5, {}, updatingBox(-30, -5), false},
        // Six times in 32 bits: 2400000000 wraps to a negative number.
        {"HugeTotalWraps", 1, 400000000, {}, updatingBox(-1894967296, 400000000), false},
        // With parts: the largest part below 100.
        {"LargestUnfinishedPart", 1, 50, {100, 42, 99, 7}, updatingBox(99, 50), false},
        {"AllPartsFinished", 1, 100, {100, 100}, updatingBox(0, 100), false},
        {"PartAbove100Ignored", 1, 60, {101, 55}, updatingBox(55, 60), false},
        // The sub rate is computed for success too; the total never shows.
        {"Succeeded", 2, 100, {}, succeededBox(100), true},
        {"SucceededTenPercent", 2, 10, {}, succeededBox(60), true},
        {"SucceededWithParts", 2, 100, {100, 50}, succeededBox(50), true},
        {"Failed", 3, 40, {}, failedBox(), true},
        {"FailedWithParts", 3, 40, {50, 70}, failedBox(), true},
        {"Hide", 0, 10, {20}, hideBox(), false},
        {"UnknownFour", 4, 10, {}, std::nullopt, false},
        {"UnknownNegative", -1, 10, {}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("1.0");
        device.script().firmwareVersion = "4.0.0";
        LogCapture log;

        device.sendProgress(c.status, c.progress, c.parts);

        Lines expected = {ReportLine};
        if (c.box)
            expected.push_back(BoxLine);
        if (c.ends) {
            expected.push_back("send 0xfc0c0c08 upgradeviewmodel>upgradeviewmodel 0/9");
            expected.insert(expected.end(), RefreshLines.begin(), RefreshLines.end());
        }
        EXPECT_EQ(lines(), expected);
        EXPECT_TRUE(boxesAre(c.box ? std::vector<QByteArray>{*c.box} : std::vector<QByteArray>{}));
        EXPECT_EQ(nodeVersionOf(loader), c.ends ? "4.0.0" : "1.0");
        EXPECT_TRUE(log.lines().empty()) << log.lines().front().message.toStdString();
    }
}

// Only a 40-byte payload is a report; an empty list is zero addresses.
TEST_F(ProgressTest, PayloadsOfAnotherSizeAreDroppedSilently)
{
    const auto image = [](int size) {
        QByteArray bytes(size, '\0');
        const int32_t fields[] = {1, 10};
        std::memcpy(bytes.data() + 4, fields, sizeof fields);
        return bytes;
    };
    LogCapture log;
    device.sendRawProgress(image(39));
    device.sendRawProgress(image(41));
    krt::IMessage* empty
        = host.events()->createMessage(Upgrade::MsgUpgradeProgress, 0, nullptr, "devicestandin");
    host.events()->send(&empty, 9);
    EXPECT_EQ(trafficOf({Upgrade::MsgUpgradeProgress}).size(), host.traffic().size());
    EXPECT_TRUE(log.lines().empty());

    device.sendRawProgress(image(40));
    EXPECT_TRUE(boxesAre({updatingBox(60, 10)}));
}

// ---- records handed back by the user interface ------------------------------------

QByteArray patched(QByteArray record, int offset, const QByteArray& bytes)
{
    return record.replace(offset, bytes.size(), bytes);
}

// The record is logged as one line; only the upgrade's own function code
// posts 0xfc0c0c0d, which refreshes the version. Any other size is refused.
TEST_F(ProgressTest, ReturnedRecordIsLoggedAndRefreshesOnlyForTheUpgrade)
{
    const QString Refused = "upgrade is success update device info error";
    // The log form of the record of a progress report at 10 percent.
    const QString Updating
        = "\"func code(1), box type(5), total rate(10), sub rate(60), visiable(1), can revoke(0), "
          "tip time(2000), text(Updating...), btn text(), second btn(),currentStatus(1), "
          "isLocal(0), bAccept(0),deviceStatus(1) \"";
    const QByteArray box = updatingBox(60, 10);
    const struct
    {
        const char* name;
        std::optional<QByteArray> payload; // none: no data at all
        QString logged;
        bool refreshes;
    } cases[] = {
        {"Upgrade", box, Updating, true},
        {"Hide", patched(box, 0, QByteArray("\xff\xff\xff\xff", 4)),
         QString(Updating).replace("func code(1)", "func code(-1)"), false},
        {"OtherFunction", patched(box, 0, QByteArray("\x02\0\0\0", 4)),
         QString(Updating).replace("func code(1)", "func code(2)"), false},
        // Buttons at 288 and 544; a flag byte other than 0 or 1 is still set.
        {"ButtonsAndFlags",
         patched(patched(patched(box, 288, "OK"), 544, "Cancel"), 280, QByteArray("\x02\x00\x05", 3)),
         QString(Updating)
             .replace("btn text(), second btn()", "btn text(OK), second btn(Cancel)")
             .replace("visiable(1), can revoke(0)", "visiable(0), can revoke(1)")
             .replace("bAccept(0)", "bAccept(1)"),
         true},
        // A text without its zero ends with its array.
        {"FullTextArray", patched(box, 24, QByteArray(256, 'w')),
         QString(Updating).replace("text(Updating...)", "text(" + QString(256, 'w') + ")"), true},
        {"OneByteShort", box.left(811), Refused, false},
        {"OneByteLong", box + '\0', Refused, false},
        {"NoPayload", std::nullopt, Refused, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.clearRecords();
        LogCapture log;

        ui.postEventRaw(Upgrade::MsgMessageBoxReturned, c.payload.value_or(QByteArray()),
                        c.payload.has_value());

        Lines expected = {"post 0xfc0c0c13 uistandin>upgradeviewmodel "
                          + std::to_string(c.payload ? c.payload->size() : 0)};
        if (c.refreshes) {
            expected.push_back("post 0xfc0c0c0d upgradeviewmodel>upgradeviewmodel 0");
            expected.insert(expected.end(), RefreshLines.begin(), RefreshLines.end());
        }
        EXPECT_EQ(lines(), expected);
        EXPECT_TRUE(onlyViewModelLine(log, QtWarningMsg, c.logged, GetDeviceInfoSignature));
    }
}

} // namespace
