#include "upgrade/packageformat.h"

#include <QDebug>
#include <QFileDevice>
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

CheckBlock readCheckBlock(QFileDevice& device, const ByteSink& sink, QByteArray& buffer)
{
    CheckBlock block;
    // A file forgets its error at its next read, so each read is asked.
    const auto checked = [&](auto part) {
        if (device.error() != QFileDevice::NoError && block.readErrorAt < 0) {
            block.readError = device.errorString();
            block.readErrorAt = device.pos();
        }
        return part;
    };
    const auto lengthField = [&]() {
        const QByteArray bytes = checked(device.read(4));
        if (sink)
            sink(bytes.constData(), bytes.size());
        return bytes;
    };
    // The package header is the file-information query's business.
    block.headerLength = lengthField();
    block.header = checked(readField(device, littleEndian32(block.headerLength), sink, buffer));
    block.checkLength = lengthField();
    block.raw = checked(readField(device, littleEndian32(block.checkLength), sink, buffer));
    if (block.raw.cut)
        return block;
    const QByteArray decoded = QByteArray::fromBase64(block.raw.bytes);
    block.text = decoded.isNull() ? QString() : QString::fromUtf8(untilNul(decoded));
    decodeCheckJson(block.text, block.packet);
    return block;
}

} // namespace Package
} // namespace Upgrade
