#include "trafficformatter.h"

#include "protomodel/messageboxinfo.h"
#include "protomodel/upgradefileconfig.h"
#include "protomodel/upgradeprogress.h"
#include "standin/host/messagenames.h"
#include "standin/host/standinhost.h"
#include "upgrade/upgradeids.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstring>

namespace Sim {

using Fields = std::vector<PayloadField>;
using LCD::ProtoModel::Device::s_UpgradeFileConfig;
using LCD::ProtoModel::Device::s_UpgradeProgress;
using LCD::ProtoModel::Device::s_UpgradeProgressPart;

namespace {

// Lists longer than this are not what a sender in this process builds.
constexpr qint64 MaxListEntries = 256;

bool isPathMessage(int id)
{
    return id == Upgrade::MsgGetUpgradeFileInfo || id == Upgrade::MsgGetUpgradeMD5
        || id == Upgrade::MsgSetUpgradeFile;
}

int32_t readInt(const QByteArray& bytes, int offset)
{
    int32_t value = 0;
    std::memcpy(&value, bytes.constData() + offset, sizeof value);
    return value;
}

// Entries of a list object image: first, one-past-last, end of storage.
template <typename T> std::pair<const T*, qint64> listEntries(const QByteArray& bytes, int offset)
{
    const T* bounds[2] = {};
    std::memcpy(bounds, bytes.constData() + offset, sizeof bounds);
    const qint64 count = bounds[0] && bounds[1] >= bounds[0] ? bounds[1] - bounds[0] : 0;
    return {bounds[0], count <= MaxListEntries ? count : 0};
}

Fields decodePath(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\0');
    return {{"path", QString::fromUtf8(end < 0 ? bytes : bytes.left(end))}};
}

Fields decodeBox(const QByteArray& bytes)
{
    LCD::Structs::MessageBoxInfo box;
    std::memcpy(&box, bytes.constData(), sizeof box);
    QString line;
    QDebug(&line).noquote() << box;
    return {{"box", line.trimmed()}};
}

Fields decodeProgress(const QByteArray& bytes)
{
    QJsonArray parts;
    const auto entries = listEntries<s_UpgradeProgressPart>(bytes, offsetof(s_UpgradeProgress, parts));
    for (qint64 i = 0; i < entries.second; ++i)
        parts.append(entries.first[i].progress);
    return {{"nodeId", readInt(bytes, 0)},
            {"status", readInt(bytes, 4)},
            {"progress", readInt(bytes, 8)},
            {"parts", parts}};
}

Fields decodeFileList(const QByteArray& bytes)
{
    QJsonArray files;
    const auto entries = listEntries<s_UpgradeFileConfig>(bytes, 0);
    for (qint64 i = 0; i < entries.second; ++i) {
        files.append(QJsonObject{{"nodeId", entries.first[i].nodeId},
                                 {"filePath", QString::fromStdString(entries.first[i].filePath)}});
    }
    return {{"entries", files}};
}

Fields decodeAddress(const QByteArray& bytes)
{
    quint64 address = 0;
    std::memcpy(&address, bytes.constData(), sizeof address);
    return {{"address", QStringLiteral("0x%1").arg(address, 0, 16)}};
}

Fields decodeReply(const Standin::TrafficRecord& record)
{
    const QByteArray& bytes = record.bytes;
    if (record.id == Upgrade::MsgGetUpgradeFileInfo && bytes.size() == 2)
        return {{"typeMatched", int(quint8(bytes[0]))}, {"downGrade", int(quint8(bytes[1]))}};
    if (record.id == Upgrade::MsgStartUpgrade && bytes.size() == 1)
        return {{"accepted", int(quint8(bytes[0]))}};
    return {};
}

Fields decodeBySize(const Standin::TrafficRecord& record)
{
    const QByteArray& bytes = record.bytes;
    const int id = record.id;
    if (isPathMessage(id))
        return decodePath(bytes);
    if ((id == Upgrade::MsgStartResult || id == Upgrade::MsgVerifyResult) && bytes.size() == 1)
        return {{"result", int(quint8(bytes[0]))}};
    if ((id == Upgrade::MsgMessageBox || id == Upgrade::MsgMessageBoxReturned)
        && bytes.size() == int(sizeof(LCD::Structs::MessageBoxInfo)))
        return decodeBox(bytes);
    if (id == Upgrade::MsgUpgradeProgress && bytes.size() == int(sizeof(s_UpgradeProgress)))
        return decodeProgress(bytes);
    if ((id == Upgrade::MsgQueryNodeList || id == Upgrade::MsgQueryFirmwareVersion) && bytes.size() == 8)
        return decodeAddress(bytes);
    if (id == Upgrade::MsgStartUpgrade && bytes.size() == 24)
        return decodeFileList(bytes);
    return {};
}

QString idText(int id)
{
    return QStringLiteral("0x%1").arg(quint32(id), 8, 16, QLatin1Char('0'));
}

QString timeText(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 3);
}

} // namespace

Fields TrafficFormatter::decode(const Standin::TrafficRecord& record)
{
    if (record.bytes.isEmpty())
        return {};
    Fields fields = record.route == Standin::Route::Reply ? decodeReply(record) : decodeBySize(record);
    if (fields.empty())
        fields.push_back({"hex", QString::fromLatin1(record.bytes.left(64).toHex())});
    return fields;
}

QString TrafficFormatter::jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString TrafficFormatter::fieldsText(const Fields& fields)
{
    QStringList items;
    for (const PayloadField& field : fields) {
        // The record's log form and addresses read best bare; paths stay quoted.
        const bool bare = field.key == QLatin1String("box") || field.key == QLatin1String("address");
        items << field.key + QLatin1Char(' ') + (bare ? field.value.toString() : jsonText(field.value));
    }
    return items.join(QStringLiteral("  "));
}

QString TrafficFormatter::fieldsJson(const Fields& fields)
{
    QStringList items;
    for (const PayloadField& field : fields)
        items << jsonText(field.key) + QLatin1Char(':') + jsonText(field.value);
    return QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString TrafficFormatter::traceLine(const Standin::TrafficRecord& record)
{
    QStringList receivers;
    for (const std::string& name : record.receivers)
        receivers << QString::fromStdString(name);
    QString line
        = QStringLiteral("%1 ms  %2 %3  %4  %5 -> %6  size %7  flags %8")
              .arg(timeText(record.elapsedNs), 10)
              .arg(idText(record.id), QString::fromLatin1(Standin::messageName(record.id)),
                   QString::fromLatin1(Standin::routeName(record.route)),
                   QString::fromStdString(record.sender),
                   receivers.isEmpty() ? QStringLiteral("(nobody)") : receivers.join(QLatin1Char(',')))
              .arg(record.size())
              .arg(record.flags);
    const Fields fields = decode(record);
    if (!fields.empty())
        line += QStringLiteral("  ") + fieldsText(fields);
    return line;
}

QString TrafficFormatter::jsonLine(const Standin::TrafficRecord& record)
{
    QJsonArray receivers;
    for (const std::string& name : record.receivers)
        receivers.append(QString::fromStdString(name));
    return QStringLiteral("{\"time_ms\":%1,\"seq\":%2,\"route\":%3,\"id\":%4,\"name\":%5,\"sender\":%6,"
                          "\"receivers\":%7,\"flags\":%8,\"size\":%9,\"payload\":%10}")
        .arg(timeText(record.elapsedNs))
        .arg(record.sequence)
        .arg(jsonText(QString::fromLatin1(Standin::routeName(record.route))), jsonText(idText(record.id)),
             jsonText(QString::fromLatin1(Standin::messageName(record.id))),
             jsonText(QString::fromStdString(record.sender)), jsonText(receivers))
        .arg(record.flags)
        .arg(record.size())
        .arg(fieldsJson(decode(record)));
}

} // namespace Sim
