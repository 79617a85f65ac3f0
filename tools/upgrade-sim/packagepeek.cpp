#include "packagepeek.h"

#include "upgrade/signaturerecord.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace Sim {

namespace {

// A little-endian length, or -1 when the file ends first.
qint64 readLength(QFile& file)
{
    const QByteArray bytes = file.read(4);
    if (bytes.size() != 4)
        return -1;
    return qFromLittleEndian<quint32>(bytes.constData());
}

// Reads a length-prefixed block no longer than what the file still holds.
QByteArray readBlock(QFile& file)
{
    const qint64 length = readLength(file);
    if (length < 0 || length > file.size() - file.pos())
        return QByteArray();
    return file.read(length);
}

} // namespace

bool PackagePeek::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    fileSize = file.size();
    magic = file.read(4);
    readHeader(readBlock(file));
    readCheckBlock(readBlock(file));
    readSignature(file);
    return true;
}

void PackagePeek::readHeader(const QByteArray& json)
{
    const QJsonObject header = QJsonDocument::fromJson(json).object();
    name = header.value(QStringLiteral("name")).toString();
    modelId = header.value(QStringLiteral("modelID")).toInt();
    dataVersion = header.value(QStringLiteral("dataVersion")).toString();
}

void PackagePeek::readCheckBlock(const QByteArray& base64)
{
    const QJsonObject check = QJsonDocument::fromJson(QByteArray::fromBase64(base64)).object();
    for (const QJsonValue& image : check.value(QStringLiteral("systemImages")).toArray())
        imageSizes.push_back(image.toObject().value(QStringLiteral("size")).toString().toLongLong());
}

// Only for the verify line: whether the signature counts is the plug-in's call.
void PackagePeek::readSignature(QFile& file)
{
    using Upgrade::Package::SignatureRecord;
    qint64 end = file.pos();
    for (qint64 size : imageSizes)
        end += size;
    if (end >= fileSize || !file.seek(end))
        return;
    const auto record = SignatureRecord::parse(file.read(SignatureRecord::MaxLength + 1), nullptr);
    if (record)
        signerKeyId = Upgrade::Package::keyIdText(record->keyId);
}

QString PackagePeek::summary() const
{
    return QStringLiteral("%1 images, %2 MiB, %3 model %4, data version %5")
        .arg(imageSizes.size())
        .arg(double(fileSize) / (1024 * 1024), 0, 'f', 1)
        .arg(name.isEmpty() ? QStringLiteral("(no name)") : name)
        .arg(modelId)
        .arg(dataVersion.isEmpty() ? QStringLiteral("(none)") : dataVersion);
}

} // namespace Sim
