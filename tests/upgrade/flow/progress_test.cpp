// Progress reports from the device side through the plug-in, one record per
// report byte for byte, the end of an upgrade refreshing the version; and the
// records the user interface hands back, with their one-line log form.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using namespace flow_testing;
using testing_support::LogCapture;
using Lines = std::vector<std::string>;

const std::string BoxLine = "send 0xfc02001e upgradeviewmodel>uistandin 812/9";
const Lines Refresh = {"command 0xfc050007 upgradeviewmodel>devicestandin 8",
                       "command 0xfc050015 upgradeviewmodel>devicestandin 8"};

using ProgressTest = FlowFixture;

// One row per state and per branch of the sub rate. The reports run one after
// the other on one plug-in: none remembers the last.
TEST_F(ProgressTest, EachReportBecomesOneRecord)
{
    const struct
    {
        const char* name;
        int32_t status;
        int32_t progress;
        std::vector<int32_t> parts;
        std::vector<QByteArray> boxes;
        bool ends; // followed by 0xfc0c0c08 and the refresh
    } cases[] = {
        // Without parts the sub rate is six times the total, at most 100; the
        // total goes out unclamped.
        {"Capped", 1, 250, {}, {updating(100, 250)}, false},
        // Six times in 32 bits: 2400000000 wraps to a negative number.
        {"HugeTotalWraps", 1, 400000000, {}, {updating(-1894967296, 400000000)}, false},
        // With parts: the largest part below 100, whatever their order.
        {"LargestUnfinishedPart", 1, 50, {100, 42, 99, 7}, {updating(99, 50)}, false},
        {"AllPartsFinished", 1, 100, {100, 100}, {updating(0, 100)}, false},
        // The sub rate is computed for success too; the total never shows.
        {"Succeeded", 2, 10, {}, {succeeded(60)}, true},
        {"FailedWithParts", 3, 40, {50, 70}, {failed()}, true},
        {"Hide", 0, 10, {20}, {hidden()}, false},
        {"UnknownState", 4, 10, {}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("1.0");
        device.script().firmwareVersion = "4.0.0";
        LogCapture log;

        device.sendProgress(c.status, c.progress, c.parts);

        Lines expected = {"send 0xfc080003 devicestandin>upgradeviewmodel 40/9"};
        if (!c.boxes.empty())
            expected.push_back(BoxLine);
        if (c.ends) {
            expected.push_back("send 0xfc0c0c08 upgradeviewmodel>upgradeviewmodel 0/9");
            expected.insert(expected.end(), Refresh.begin(), Refresh.end());
        }
        EXPECT_EQ(lines(), expected);
        EXPECT_TRUE(boxesAre(c.boxes));
        EXPECT_EQ(nodeVersionOf(loader), c.ends ? "4.0.0" : "1.0");
        EXPECT_TRUE(log.lines().empty()) << log.lines().front().message.toStdString();
    }
}

// Only a 40-byte payload is a report (all zero: the hide report); a payload
// of another size is dropped silently.
TEST_F(ProgressTest, PayloadsOfAnotherSizeAreDropped)
{
    LogCapture log;
    device.sendRawProgress(QByteArray(39, '\0'));
    device.sendRawProgress(QByteArray(41, '\0'));
    device.sendRawProgress(QByteArray(40, '\0'));
    EXPECT_TRUE(boxesAre({hidden()}));
    EXPECT_TRUE(log.lines().empty());
}

// ---- records handed back by the user interface ------------------------------------

// The record is logged as one line; only the upgrade's own function code
// posts 0xfc0c0c0d, which refreshes the version. Any other size is refused.
TEST_F(ProgressTest, ReturnedRecordIsLoggedAndRefreshesOnlyForTheUpgrade)
{
    const QString Refused = "upgrade is success update device info error";
    const QString Updating
        = "\"func code(1), box type(5), total rate(10), sub rate(60), visiable(1), can revoke(0), "
          "tip time(2000), text(Updating...), btn text(), second btn(),currentStatus(1), "
          "isLocal(0), bAccept(0),deviceStatus(1) \"";
    const QByteArray box = updating(60, 10);
    // Another function, buttons, flag bytes other than 0 or 1 (they print 1)
    // and a text without its zero (it ends with its array).
    QByteArray other = box;
    other.replace(0, 4, QByteArray("\x02\0\0\0", 4))
        .replace(24, 256, QByteArray(256, 'w'))
        .replace(280, 3, QByteArray("\x02\x00\x05", 3))
        .replace(288, 2, "OK")
        .replace(544, 6, "Cancel");
    const struct
    {
        const char* name;
        QByteArray payload;
        QString logged;
        bool refreshes;
    } cases[] = {
        {"Upgrade", box, Updating, true},
        {"OtherFunction", other,
         QString("\"func code(2), box type(5), total rate(10), sub rate(60), visiable(0), can revoke(1), "
                 "tip time(2000), text(%1), btn text(OK), second btn(Cancel),currentStatus(1), isLocal(0), "
                 "bAccept(1),deviceStatus(1) \"")
             .arg(QString(256, 'w')),
         false},
        {"OneByteShort", box.left(811), Refused, false},
        {"OneByteLong", box + '\0', Refused, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.clearRecords();
        LogCapture log;

        ui.postEventRaw(Upgrade::MsgMessageBoxReturned, c.payload);

        Lines expected = {"post 0xfc0c0c13 uistandin>upgradeviewmodel " + std::to_string(c.payload.size())};
        if (c.refreshes) {
            expected.push_back("post 0xfc0c0c0d upgradeviewmodel>upgradeviewmodel 0");
            expected.insert(expected.end(), Refresh.begin(), Refresh.end());
        }
        EXPECT_EQ(lines(), expected);
        EXPECT_TRUE(loggedOnce(log, QtWarningMsg, c.logged, "getDeviceInfo"));
    }
}

} // namespace
