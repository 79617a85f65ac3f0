// Message-box records handed back by the user interface, and the one-line
// log form of a record.
#include "flowtesting.h"

#include "protomodel/messageboxinfo.h"
#include "upgrade/upgradeids.h"

#include <QDebug>

#include <cstring>

namespace {

using flow_testing::BoxSpec;
using testing_support::LogCapture;

const QString ReturnedWarning = "upgrade is success update device info error";

// The log form of the record of a progress report at 10 percent.
const QString UpdatingLine = "\"func code(1), box type(5), total rate(10), sub rate(60), visiable(1), can revoke(0), "
                             "tip time(2000), text(Updating...), btn text(), second btn(),currentStatus(1), "
                             "isLocal(0), bAccept(0),deviceStatus(1) \"";

QByteArray withFuncCode(int32_t funcCode)
{
    QByteArray record = flow_testing::updatingBox(60, 10);
    std::memcpy(record.data(), &funcCode, 4);
    return record;
}

struct ReturnedCase
{
    std::string name;
    QByteArray payload;
    bool withData;
    QString logged;
    bool refreshes;     // 0xfc0c0c0d posted, and the refresh it runs
};

void PrintTo(const ReturnedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReturnedBox : public flow_testing::FlowFixture, public ::testing::WithParamInterface<ReturnedCase>
{
};

TEST_P(ReturnedBox, IsLoggedAndRefreshesOnlyForTheUpgrade)
{
    const ReturnedCase& c = GetParam();
    LogCapture log;
    ui.postEventRaw(Upgrade::MsgMessageBoxReturned, c.payload, c.withData);

    std::vector<std::string> expected = {"post 0xfc0c0c13 uistandin>upgradeviewmodel "
                                         + std::to_string(c.withData ? c.payload.size() : 0)};
    if (c.refreshes) {
        expected.insert(expected.end(), {"post 0xfc0c0c0d upgradeviewmodel>upgradeviewmodel 0",
                                         "command 0xfc050007 upgradeviewmodel>devicestandin 8",
                                         "command 0xfc050015 upgradeviewmodel>devicestandin 8"});
    }
    EXPECT_EQ(lines(), expected);
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtWarningMsg, c.logged, flow_testing::GetDeviceInfoSignature));
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReturnedBox,
    ::testing::Values(ReturnedCase{"Upgrade", withFuncCode(1), true, UpdatingLine, true},
                      ReturnedCase{"HideRecord", withFuncCode(-1), true, QString(UpdatingLine).replace(
                                                                               "func code(1)", "func code(-1)"),
                                   false},
                      ReturnedCase{"OtherFunction", withFuncCode(2), true,
                                   QString(UpdatingLine).replace("func code(1)", "func code(2)"), false},
                      ReturnedCase{"OneByteShort", withFuncCode(1).left(811), true, ReturnedWarning, false},
                      ReturnedCase{"OneByteLong", withFuncCode(1) + '\0', true, ReturnedWarning, false},
                      ReturnedCase{"NoPayload", {}, false, ReturnedWarning, false}),
    flow_testing::caseName<ReturnedCase>);

// ---- log form ------------------------------------------------------------------

struct LogFormCase
{
    std::string name;
    QByteArray record;
    QString line;
};

void PrintTo(const LogFormCase& c, std::ostream* os)
{
    *os << c.name;
}

class LogForm : public ::testing::TestWithParam<LogFormCase>
{
};

TEST_P(LogForm, IsOneQuotedLine)
{
    LCD::Structs::MessageBoxInfo box;
    ASSERT_EQ(GetParam().record.size(), int(sizeof box));
    std::memcpy(&box, GetParam().record.constData(), sizeof box);
    LogCapture log;
    qWarning() << box;
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].message, GetParam().line);
}

QByteArray patched(QByteArray record, int offset, const QByteArray& bytes)
{
    return record.replace(offset, bytes.size(), bytes);
}

const QString HideLine = "\"func code(-1), box type(0), total rate(-1), sub rate(0), visiable(1), can revoke(0), "
                         "tip time(2000), text(), btn text(), second btn(),currentStatus(2), isLocal(0), "
                         "bAccept(0),deviceStatus(1) \"";

INSTANTIATE_TEST_SUITE_P(
    Records, LogForm,
    ::testing::Values(
        LogFormCase{"Hide", flow_testing::hideBox(), HideLine},
        // Total rate (offset 12) is written before sub rate (offset 8).
        LogFormCase{"TotalBeforeSub", flow_testing::boxBytes(BoxSpec{1, 5, 8, 7, "x", 1}),
                    QString(UpdatingLine).replace("total rate(10), sub rate(60)", "total rate(7), sub rate(8)")
                        .replace("text(Updating...)", "text(x)")},
        LogFormCase{"Buttons", patched(patched(flow_testing::hideBox(), 288, "OK"), 544, "Cancel"),
                    QString(HideLine).replace("btn text(), second btn()", "btn text(OK), second btn(Cancel)")},
        // A flag byte other than 0 or 1 is still a set flag.
        LogFormCase{"FlagBytes", patched(flow_testing::hideBox(), 280, QByteArray("\x02\x00\x05", 3)),
                    QString(HideLine).replace("visiable(1), can revoke(0)", "visiable(0), can revoke(1)")
                        .replace("bAccept(0)", "bAccept(1)")},
        // A text without its zero ends with its array.
        LogFormCase{"FullTextArray", patched(flow_testing::hideBox(), 24, QByteArray(256, 'w')),
                    QString(HideLine).replace("(2000), text()", "(2000), text(" + QString(256, 'w') + ")")},
        LogFormCase{"Utf8Text", patched(flow_testing::hideBox(), 24, "Ger\xc3\xa4t"),
                    QString(HideLine).replace("(2000), text()", QString::fromUtf8("(2000), text(Ger\xc3\xa4t)"))}),
    flow_testing::caseName<LogFormCase>);

} // namespace
