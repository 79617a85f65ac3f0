#include "packagewriter.h"

#include "signer.h"
#include "upgrade/sha256.h"
#include "upgrade/upgradeids.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtEndian>

#include <limits>

namespace Upgrade {

namespace {

// Image files are hashed and copied in pieces of this size.
constexpr qint64 CopyChunk = 1 << 20;

} // namespace

QByteArray PackageWriter::headerJson(const PackageHeader& header)
{
    QJsonObject object;
    object.insert(QStringLiteral("name"), header.name);
    object.insert(QStringLiteral("modelID"), header.modelId);
    object.insert(QStringLiteral("mainVersion"), header.mainVersion);
    object.insert(QStringLiteral("dataVersion"), header.dataVersion);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray PackageWriter::subHeaderJson(const QString& md5)
{
    QJsonObject object;
    object.insert(QStringLiteral("md5"), md5);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString PackageWriter::md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QByteArray PackageWriter::lengthField(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

bool PackageWriter::write(const PackageContents& contents, const QString& path)
{
    error.clear();
    std::vector<Record> records;
    if (!prepare(contents, records))
        return false;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write '%1': %2").arg(path, out.errorString()));
    if (!writeAll(out, contents, records)) {
        out.cancelWriting();
        return false;
    }
    if (!out.commit())
        return fail(QStringLiteral("cannot write '%1': %2").arg(path, out.errorString()));
    return true;
}

QByteArray PackageWriter::bytes(const PackageContents& contents)
{
    error.clear();
    std::vector<Record> records;
    QByteArray package;
    QBuffer buffer(&package);
    buffer.open(QIODevice::WriteOnly);
    if (!prepare(contents, records) || !writeAll(buffer, contents, records))
        return QByteArray();
    return package;
}

bool PackageWriter::prepare(const PackageContents& contents, std::vector<Record>& records)
{
    for (const PackageImage& image : contents.images) {
        Record record;
        if (image.dataFile.isEmpty()) {
            record.dataLength = image.data.size();
            record.md5 = md5Hex(image.data);
        } else if (!hashFile(image.dataFile, record.dataLength, record.md5)) {
            return false;
        }
        record.subHeader = subHeaderJson(record.md5);
        // The check block lists whole record sizes as unsigned 32-bit numbers.
        const qint64 size = 8 + record.subHeader.size() + record.dataLength;
        if (size > std::numeric_limits<quint32>::max())
            return fail(QStringLiteral("image %1 is too large for a package: %2 bytes")
                            .arg(records.size() + 1)
                            .arg(record.dataLength));
        records.push_back(record);
    }
    return true;
}

bool PackageWriter::hashFile(const QString& path, qint64& length, QString& md5)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read image '%1': %2").arg(path, file.errorString()));
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    length = 0;
    qint64 n;
    while ((n = file.read(buffer.data(), CopyChunk)) > 0) {
        hash.addData(buffer.constData(), static_cast<int>(n));
        length += n;
    }
    if (n < 0)
        return fail(QStringLiteral("cannot read image '%1': %2").arg(path, file.errorString()));
    md5 = QString::fromLatin1(hash.result().toHex());
    return true;
}

QByteArray PackageWriter::checkBlock(const PackageContents& contents,
                                     const std::vector<Record>& records) const
{
    QJsonArray images;
    for (size_t i = 0; i < records.size(); ++i) {
        const qint64 size = 8 + records[i].subHeader.size() + records[i].dataLength;
        QJsonObject entry;
        entry.insert(QStringLiteral("type"), contents.images[i].type);
        // Sizes are decimal strings: a reader counts a JSON number as 0.
        entry.insert(QStringLiteral("size"), QString::number(size));
        images.append(entry);
    }
    QJsonObject object;
    object.insert(QStringLiteral("systemImages"), images);
    QString md5 = contents.checkMd5;
    if (md5.isEmpty() && !records.empty())
        md5 = records.front().md5;
    object.insert(QStringLiteral("md5"), md5);
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toBase64();
}

bool PackageWriter::writeAll(QIODevice& out, const PackageContents& contents,
                             const std::vector<Record>& records)
{
    const QByteArray check = checkBlock(contents, records);
    QByteArray head = PackageMagic;
    head += lengthField(static_cast<quint32>(contents.header.size()));
    head += contents.header;
    head += lengthField(static_cast<quint32>(check.size()));
    head += check;
    signedBytes = signer ? std::make_shared<Package::Sha256>() : nullptr;
    if (!put(out, head))
        return false;
    for (size_t i = 0; i < records.size(); ++i) {
        const PackageImage& image = contents.images[i];
        QByteArray recordHead = PackageMagic;
        recordHead += lengthField(static_cast<quint32>(records[i].subHeader.size()));
        recordHead += records[i].subHeader;
        if (!put(out, recordHead))
            return false;
        if (image.dataFile.isEmpty()) {
            if (!put(out, image.data))
                return false;
        } else if (!copyFile(out, image.dataFile, records[i].dataLength)) {
            return false;
        }
    }
    if (!signer)
        return true;
    // The record signs every byte before it.
    QString reason;
    const QByteArray record = signer->record(signedBytes->result(), &reason);
    signedBytes.reset();
    return record.isEmpty() ? fail(QStringLiteral("signing failed: %1").arg(reason)) : put(out, record);
}

bool PackageWriter::copyFile(QIODevice& out, const QString& path, qint64 length)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read image '%1': %2").arg(path, file.errorString()));
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    qint64 copied = 0;
    while (copied < length) {
        const qint64 n = file.read(buffer.data(), qMin(CopyChunk, length - copied));
        if (n <= 0)
            return fail(QStringLiteral("image '%1' changed while the package was written").arg(path));
        if (!put(out, buffer.constData(), n))
            return false;
        copied += n;
    }
    return true;
}

bool PackageWriter::put(QIODevice& out, const char* data, qint64 size)
{
    if (signedBytes)
        signedBytes->add(data, size);
    if (out.write(data, size) != size)
        return fail(QStringLiteral("write failed: %1").arg(out.errorString()));
    return true;
}

bool PackageWriter::fail(const QString& message)
{
    error = message;
    return false;
}

} // namespace Upgrade
