#include "upgrade/packageformat.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QtEndian>

namespace Upgrade {
namespace Package {

uint32_t littleEndian32(const QByteArray& bytes)
{
    return bytes.size() < 4 ? 0 : qFromLittleEndian<quint32>(bytes.constData());
}

void decodeCheckJson(const QString& json, CheckPacket& packet)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (document.isNull())
        return;
    const QJsonObject object = document.object();
    const QJsonArray images = object.value(QLatin1String("systemImages")).toArray();
    for (const QJsonValue& image : images) {
        // Each entry also has a "type", which names nothing the check needs.
        const QJsonObject entry = image.toObject();
        // Sizes are written as decimal strings; a JSON number counts as 0.
        packet.systemImages.push_back(entry.value(QLatin1String("size")).toString().toUInt(nullptr, 10));
    }
    packet.md5 = object.value(QLatin1String("md5")).toString();
}

QByteArray untilNul(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), static_cast<int>(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

QByteArray readBounded(QIODevice& device, qint64 length)
{
    // QIODevice::read(qint64) sizes its result to the request before reading.
    const qint64 left = device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    const qint64 bounded = qMin(length, qMax<qint64>(left, 0));
    if (bounded <= 0)
        return QByteArray();
    return device.read(bounded);
}

CheckBlock readCheckBlock(QFileDevice& device)
{
    CheckBlock block;
    // A file forgets its error at its next read, so each read is asked.
    const auto checked = [&](const QByteArray& bytes) {
        if (device.error() != QFileDevice::NoError && block.readErrorAt < 0) {
            block.readError = device.errorString();
            block.readErrorAt = device.pos();
        }
        return bytes;
    };
    // The package header is the file-information query's business.
    block.headerLength = checked(device.read(4));
    block.header = checked(readBounded(device, littleEndian32(block.headerLength)));
    block.checkLength = checked(device.read(4));
    block.raw = checked(readBounded(device, littleEndian32(block.checkLength)));
    const QByteArray decoded = QByteArray::fromBase64(block.raw);
    block.text = decoded.isNull() ? QString() : QString::fromUtf8(untilNul(decoded));
    decodeCheckJson(block.text, block.packet);
    return block;
}

} // namespace Package
} // namespace Upgrade
