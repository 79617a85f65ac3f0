#include "packageinfo.h"

#include "upgrade/checkpacket.h"
#include "upgrade/packagecheck.h"
#include "upgrade/signaturerecord.h"
#include "json/decode.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>

#include <string>

namespace {

// The check block's "type" of each image; the shared decoder keeps sizes only.
QStringList imageTypes(const QString& checkText)
{
    QStringList types;
    const QJsonArray images
        = QJsonDocument::fromJson(checkText.toUtf8()).object().value(QLatin1String("systemImages")).toArray();
    for (const QJsonValue& image : images)
        types << image.toObject().value(QLatin1String("type")).toString();
    return types;
}

QString quoted(const QByteArray& bytes)
{
    QString text;
    for (char c : bytes) {
        const uchar u = static_cast<uchar>(c);
        text += (u >= 0x20 && u < 0x7f) ? QString(QLatin1Char(c))
                                        : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

bool PackageInfo::read(const QString& filePath)
{
    using namespace Upgrade::Package;
    path = filePath;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open '%1': %2").arg(path, file.errorString());
        return false;
    }
    fileSize = file.size();
    magic = file.read(4);
    if (failedRead(file))
        return false;
    if (magic != "Vesk") {
        error = QStringLiteral("'%1' is not an upgrade package: magic %2").arg(path, quoted(magic));
        return false;
    }
    headerLength = littleEndian32(file.read(4));
    header = readBounded(file, headerLength);
    std::string decodeError;
    // The device reads the header length signed and rejects 2^31 and above.
    if (headerLength > 0x7fffffffu)
        decodeError = "header length " + std::to_string(qint32(headerLength)) + " is negative for the device";
    else
        headerDecoded = LCD::ProtoModel::decode<LCD::ProtoModel::Device::s_UpgradeInfo>(
            header.toStdString(), headerInfo, decodeError);
    headerError = QString::fromStdString(decodeError);

    checkLength = littleEndian32(file.read(4));
    const QByteArray decoded = QByteArray::fromBase64(readBounded(file, checkLength));
    if (failedRead(file))
        return false;
    checkText = QString::fromUtf8(untilNul(decoded));
    CheckPacket packet;
    decodeCheckJson(checkText, packet);
    checkMd5 = packet.md5;
    return readImages(file, packet.systemImages, imageTypes(checkText)) && readSignature(file);
}

// A read error is the storage's, not the package's: it ends the reading.
bool PackageInfo::failedRead(const QFile& file)
{
    if (file.error() == QFileDevice::NoError)
        return false;
    readErrorAt = file.pos();
    error = QStringLiteral("read error at byte %1: %2").arg(readErrorAt).arg(file.errorString());
    return true;
}

bool PackageInfo::readImages(QFile& file, const std::vector<quint32>& sizes, const QStringList& types)
{
    using namespace Upgrade::Package;
    for (size_t i = 0; i < sizes.size(); ++i) {
        Image image;
        image.type = types.value(static_cast<int>(i));
        image.size = sizes[i];
        image.offset = file.pos();
        image.magic = file.read(4);
        image.subHeaderLength = littleEndian32(file.read(4));
        const QByteArray subHeader = readBounded(file, image.subHeaderLength);
        // Checked before the seek, which clears the file's error.
        if (failedRead(file))
            return false;
        image.subHeader = QString::fromLatin1(untilNul(subHeader));
        CheckPacket packet;
        decodeCheckJson(image.subHeader, packet);
        image.md5 = packet.md5;
        image.dataLength = image.size - 8u - image.subHeaderLength;
        const qint64 end = image.offset + image.size;
        image.missing = qMax<qint64>(0, end - fileSize);
        file.seek(qMin(end, fileSize));
        images.push_back(image);
    }
    return true;
}

bool PackageInfo::readSignature(QFile& file)
{
    using Upgrade::Package::SignatureRecord;
    recordOffset = file.pos();
    recordBytes = Upgrade::Package::readBounded(file, SignatureRecord::MaxLength + 1);
    if (failedRead(file))
        return false;
    if (const auto record = SignatureRecord::parse(recordBytes, &recordProblem)) {
        recordKeyId = Upgrade::Package::keyIdText(record->keyId);
        recordDigest = record->digest;
    }
    return true;
}

QString PackageInfo::signatureText() const
{
    if (recordBytes.isEmpty())
        return QStringLiteral("none");
    if (recordKeyId.isEmpty())
        return QStringLiteral("malformed record at offset %1: %2").arg(recordOffset).arg(recordProblem);
    return QStringLiteral("Ed25519, key id %1, offset %2, sha-256 %3")
        .arg(recordKeyId)
        .arg(recordOffset)
        .arg(QString::fromLatin1(recordDigest.toHex()));
}

QJsonObject PackageInfo::signatureJson() const
{
    if (recordBytes.isEmpty())
        return QJsonObject();
    if (recordKeyId.isEmpty())
        return QJsonObject{{"offset", recordOffset}, {"error", recordProblem}};
    return QJsonObject{{"offset", recordOffset},
                       {"algorithm", "Ed25519"},
                       {"keyId", recordKeyId},
                       {"sha256", QString::fromLatin1(recordDigest.toHex())}};
}

QString PackageInfo::toText() const
{
    QString text;
    QTextStream stream(&text);
    stream << "package:      " << path << " (" << fileSize << " bytes)\n";
    stream << "magic:        " << quoted(magic) << "\n";
    stream << "header:       " << headerLength << " bytes\n";
    if (headerDecoded) {
        stream << "  name:        " << QString::fromStdString(headerInfo.name) << "\n";
        stream << "  modelID:     " << headerInfo.modelID << "\n";
        stream << "  mainVersion: " << QString::fromStdString(headerInfo.mainVersion) << "\n";
        stream << "  dataVersion: " << QString::fromStdString(headerInfo.dataVersion) << "\n";
    } else {
        stream << "  not decodable: " << headerError << "\n";
    }
    stream << "check block:  " << checkLength << " bytes\n";
    stream << "  md5:         " << checkMd5 << "\n";
    stream << "images:       " << images.size() << "\n";
    for (size_t i = 0; i < images.size(); ++i) {
        const Image& image = images[i];
        stream << "  #" << i + 1 << " " << image.type << ": offset " << image.offset << ", record "
               << image.size << " bytes, sub-header " << image.subHeaderLength << " bytes, data "
               << image.dataLength << " bytes, md5 " << image.md5;
        if (image.magic != "Vesk")
            stream << ", bad magic " << quoted(image.magic);
        if (image.missing > 0)
            stream << ", truncated by " << image.missing << " bytes";
        stream << "\n";
    }
    stream << "signature:    " << signatureText() << "\n";
    return text;
}

QJsonObject PackageInfo::toJson() const
{
    QJsonObject headerObject{{"length", qint64(headerLength)}, {"decoded", headerDecoded}};
    if (headerDecoded) {
        headerObject.insert("name", QString::fromStdString(headerInfo.name));
        headerObject.insert("modelID", headerInfo.modelID);
        headerObject.insert("mainVersion", QString::fromStdString(headerInfo.mainVersion));
        headerObject.insert("dataVersion", QString::fromStdString(headerInfo.dataVersion));
    } else {
        headerObject.insert("error", headerError);
    }
    QJsonArray imageArray;
    for (const Image& image : images) {
        imageArray.append(QJsonObject{{"type", image.type},
                                      {"offset", image.offset},
                                      {"size", qint64(image.size)},
                                      {"magic", QString::fromLatin1(image.magic)},
                                      {"subHeaderLength", qint64(image.subHeaderLength)},
                                      {"md5", image.md5},
                                      {"dataLength", qint64(image.dataLength)},
                                      {"missing", image.missing}});
    }
    return QJsonObject{
        {"path", path},
        {"size", fileSize},
        {"magic", QString::fromLatin1(magic)},
        {"header", headerObject},
        {"checkBlock", QJsonObject{{"length", qint64(checkLength)}, {"md5", checkMd5}, {"text", checkText}}},
        {"images", imageArray},
        {"signature", recordBytes.isEmpty() ? QJsonValue() : QJsonValue(signatureJson())}};
}
