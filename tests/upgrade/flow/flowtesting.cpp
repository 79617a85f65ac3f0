#include "flowtesting.h"

#include "protomodel/messageboxinfo.h"
#include "upgrade/upgradeids.h"

#include <cstring>

namespace flow_testing {

QByteArray boxBytes(int32_t funcCode, int32_t boxType, int32_t subRate, int32_t totalRate,
                    const QByteArray& text, int32_t currentStatus)
{
    LCD::Structs::MessageBoxInfo box;
    box.funcCode = funcCode;
    box.boxType = boxType;
    box.subRate = subRate;
    box.totalRate = totalRate;
    std::memcpy(box.text, text.constData(), size_t(text.size()));
    box.visiable = true;
    box.tipTime = 2000;
    box.currentStatus = currentStatus;
    box.deviceStatus = 1;
    return testing_support::bytesOf(box);
}

::testing::AssertionResult loggedOnce(const testing_support::LogCapture& log, QtMsgType type,
                                      const QString& message, const char* member)
{
    std::vector<testing_support::LogLine> found;
    for (const testing_support::LogLine& line : log.lines()) {
        if (line.message == message)
            found.push_back(line);
    }
    if (found.size() != 1)
        return ::testing::AssertionFailure() << found.size() << " lines [" << message.toStdString() << "]";
    if (found.front().type != type)
        return ::testing::AssertionFailure() << "level " << found.front().type;
    return testing_support::fromViewModel(found.front(), QLatin1String(member));
}

::testing::AssertionResult FlowFixture::boxesAre(const std::vector<QByteArray>& expected) const
{
    if (ui.boxes.size() != expected.size())
        return ::testing::AssertionFailure()
            << ui.boxes.size() << " records, " << expected.size() << " expected";
    for (size_t i = 0; i < expected.size(); ++i) {
        ::testing::AssertionResult same
            = testing_support::sameBytes(expected[i], testing_support::bytesOf(ui.boxes[i]));
        if (!same)
            return same << "\n  in record " << i;
    }
    return ::testing::AssertionSuccess();
}
void FlowFixture::refreshNodeVersion(const std::string& version)
{
    device.script() = {};
    device.script().firmwareVersion = version;
    ui.postEventRaw(Upgrade::MsgUpgradeFinished, {}, false);
    ASSERT_EQ(nodeVersionOf(loader), version);
    host.clearRecords();
    ui.boxes.clear();
    ui.startResults.clear();
}

} // namespace flow_testing
