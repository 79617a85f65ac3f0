#include "upgrade/packageformat.h"

#include <QDebug>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QtEndian>

#include <cstring>

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

namespace {

// Hands what is left of a field to the sink through the buffer, one buffer
// at a time; a short file ends it early.
void streamRest(QIODevice& device, qint64 rest, const ByteSink& sink, QByteArray& buffer)
{
    while (rest > 0) {
        const qint64 bytesRead = device.read(buffer.data(), qMin<qint64>(rest, buffer.size()));
        if (bytesRead <= 0)
            return;
        sink(buffer.constData(), bytesRead);
        std::memset(buffer.data(), 0, static_cast<size_t>(bytesRead));
        rest -= bytesRead;
    }
}

} // namespace

QDebug operator<<(QDebug debug, const Field& field)
{
    debug << field.bytes;
    if (field.cut)
        debug << "first" << field.bytes.size() << "of" << field.length << "bytes";
    return debug;
}

Field readField(QIODevice& device, qint64 length, const ByteSink& sink, QByteArray& buffer)
{
    Field field;
    field.at = device.pos();
    field.length = length;
    field.cut = length > MaxFieldLength;
    field.bytes = readBounded(device, field.cut ? FieldPreviewLength : length);
    if (sink)
        sink(field.bytes.constData(), field.bytes.size());
    const qint64 rest = field.cut ? length - field.bytes.size() : 0;
    if (rest > 0 && sink)
        streamRest(device, rest, sink, buffer);
    else if (rest > 0)
        device.skip(rest);
    return field;
}

} // namespace Package
} // namespace Upgrade
