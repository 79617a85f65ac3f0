#include "flowtesting.h"

#include "upgrade/upgradeids.h"

#include <QCryptographicHash>
#include <QFile>

#include <cstring>

namespace flow_testing {

namespace {

void put32(QByteArray& bytes, int offset, int32_t value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

// The record at its offsets; visiable set, bAccept and canRevoke clear.
QByteArray boxBytes(int32_t funcCode, int32_t boxType, int32_t subRate, int32_t totalRate,
                    const QByteArray& text, int32_t currentStatus)
{
    QByteArray bytes(812, '\0');
    put32(bytes, 0, funcCode);
    put32(bytes, 4, boxType);
    put32(bytes, 8, subRate);
    put32(bytes, 12, totalRate);
    bytes.replace(24, text.size(), text);
    bytes[281] = 1; // visiable
    put32(bytes, 284, 2000); // tipTime
    put32(bytes, 804, currentStatus);
    put32(bytes, 808, 1); // deviceStatus
    return bytes;
}

QByteArray le32(uint32_t value)
{
    QByteArray bytes(4, '\0');
    put32(bytes, 0, int32_t(value));
    return bytes;
}

} // namespace

QByteArray updatingBox(int32_t subRate, int32_t totalRate, const QByteArray& text)
{
    return boxBytes(1, 5, subRate, totalRate, text, 1);
}

QByteArray succeededBox(int32_t subRate, const QByteArray& text)
{
    return boxBytes(1, 1, subRate, -1, text, 2);
}

QByteArray failedBox(const QByteArray& text)
{
    return boxBytes(1, 4, 0, -1, text, 2);
}

QByteArray hideBox()
{
    return boxBytes(-1, 0, 0, -1, {}, 2);
}

::testing::AssertionResult isViewModelLine(const testing_support::LogLine& line, QtMsgType type,
                                           const QString& message, const char* function)
{
    const auto text = [](QtMsgType level, const QString& said, const QString& in, bool ownFile,
                         const QString& category) {
        return "level " + std::to_string(level) + " [" + said.toStdString() + "] in [" + in.toStdString()
            + "] " + (ownFile ? "" : "of another file ") + "category " + category.toStdString();
    };
    const std::string actual
        = text(line.type, line.message, line.function,
               line.file.endsWith(QLatin1String("upgrade/upgradeviewmodel.cpp")), line.category);
    const std::string expected
        = text(type, message, QLatin1String(function), true, QStringLiteral("default"));
    if (actual == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\n  actual   " << actual << "\n  expected " << expected;
}

::testing::AssertionResult onlyViewModelLine(const testing_support::LogCapture& log, QtMsgType type,
                                             const QString& message, const char* function)
{
    std::vector<testing_support::LogLine> own;
    for (const testing_support::LogLine& line : log.lines()) {
        if (line.file.endsWith(QLatin1String("upgradeviewmodel.cpp")))
            own.push_back(line);
    }
    if (own.size() != 1) {
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << own.size() << " lines from the view model:";
        for (const testing_support::LogLine& line : own)
            failure << "\n  " << line.message.toStdString();
        return failure;
    }
    return isViewModelLine(own.front(), type, message, function);
}

std::vector<std::string> fileInfoLines(const QByteArray& path)
{
    return {"command 0xfc000029 uistandin>upgradeviewmodel " + std::to_string(path.size() + 1),
            "reply 0xfc000029 upgradeviewmodel>uistandin 2"};
}

QByteArray fileInfoReply(bool matched, bool downGrade)
{
    return QByteArray(1, char(matched)) + char(downGrade);
}

QByteArray headerJson(const QByteArray& name, int modelId, const QByteArray& mainVersion,
                      const QByteArray& dataVersion)
{
    return "{\"name\":\"" + name + "\",\"modelID\":" + QByteArray::number(modelId) + ",\"mainVersion\":\""
        + mainVersion + "\",\"dataVersion\":\"" + dataVersion + "\"}";
}

QByteArray headerPackage(const QByteArray& magic, const QByteArray& header)
{
    return magic + le32(uint32_t(header.size())) + header + le32(0);
}

QByteArray fullPackage(const QByteArray& header, const std::vector<QByteArray>& images)
{
    QByteArray list;
    QByteArray records;
    for (const QByteArray& data : images) {
        const QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
        const QByteArray sub = "{\"md5\":\"" + digest + "\"}";
        const QByteArray record = "Vesk" + le32(uint32_t(sub.size())) + sub + data;
        list += (list.isEmpty() ? "" : ",") + QByteArray("{\"type\":\"app\",\"size\":\"")
            + QByteArray::number(record.size()) + "\"}";
        records += record;
    }
    const QByteArray check = QByteArray("{\"systemImages\":[" + list + "],\"md5\":\"\"}").toBase64();
    return "Vesk" + le32(uint32_t(header.size())) + header + le32(uint32_t(check.size())) + check + records;
}

QByteArray PackageFolder::write(const QByteArray& name, const QByteArray& bytes)
{
    const QByteArray path = missing(name);
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.constData();
    return path;
}

QByteArray PackageFolder::missing(const QByteArray& name) const
{
    return dir.filePath(QString::fromUtf8(name)).toUtf8();
}

::testing::AssertionResult FlowFixture::boxesAre(const std::vector<QByteArray>& expected) const
{
    const std::vector<Standin::TrafficRecord> sent = trafficOf({Upgrade::MsgMessageBox});
    if (sent.size() != expected.size() || ui.boxes.size() != expected.size()) {
        return ::testing::AssertionFailure() << sent.size() << " records sent, " << ui.boxes.size()
                                             << " received, " << expected.size() << " expected";
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        for (const QByteArray& actual : {sent[i].bytes, testing_support::bytesOf(ui.boxes[i])}) {
            ::testing::AssertionResult same = testing_support::sameBytes(expected[i], actual);
            if (!same)
                return same << "\n  in record " << i;
        }
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
