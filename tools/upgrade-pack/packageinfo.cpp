#include "packageinfo.h"

#include "upgrade/checkpacket.h"
#include "upgrade/layoutreader.h"
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
    LayoutReader reader(file);
    magic = reader.readMagic();
    if (failedRead(reader))
        return false;
    if (!isMagic(magic)) {
        error = QStringLiteral("'%1' is not an upgrade package: magic %2").arg(path, quoted(magic));
        return false;
    }
    const CheckBlock head = reader.readHead();
    if (failedRead(reader))
        return false;
    decodeHeader(head.header);
    checkLength = quint32(head.raw.length);
    checkText = head.text;
    checkMd5 = head.packet.md5;
    return readImages(reader, head.packet.systemImages, imageTypes(checkText)) && readSignature(reader);
}

void PackageInfo::decodeHeader(const Upgrade::Package::Field& field)
{
    headerLength = quint32(field.length);
    header = field.bytes;
    std::string decodeError;
    // The device reads the header length signed and rejects 2^31 and above.
    if (headerLength > 0x7fffffffu)
        decodeError = "header length " + std::to_string(qint32(headerLength)) + " is negative for the device";
    else if (field.cut)
        decodeError = "header of " + std::to_string(field.length) + " bytes exceeds the limit of "
            + std::to_string(Upgrade::Package::MaxFieldLength);
    else
        headerDecoded = LCD::ProtoModel::decode<LCD::ProtoModel::Device::s_UpgradeInfo>(
            header.toStdString(), headerInfo, decodeError);
    headerError = QString::fromStdString(decodeError);
}

// A read error is the storage's, not the package's: it ends the reading.
bool PackageInfo::failedRead(const Upgrade::Package::LayoutReader& reader)
{
    if (reader.readErrorAt() < 0)
        return false;
    readErrorAt = reader.readErrorAt();
    error = QStringLiteral("read error at byte %1: %2").arg(readErrorAt).arg(reader.readError());
    return true;
}

bool PackageInfo::readImages(Upgrade::Package::LayoutReader& reader, const std::vector<quint32>& sizes,
                             const QStringList& types)
{
    for (size_t i = 0; i < sizes.size(); ++i) {
        Image image{types.value(static_cast<int>(i)), reader.readImage(sizes[i]), QString()};
        if (failedRead(reader))
            return false;
        CheckPacket packet;
        Upgrade::Package::decodeCheckJson(image.record.text, packet);
        image.md5 = packet.md5;
        images.push_back(image);
    }
    return true;
}

bool PackageInfo::readSignature(Upgrade::Package::LayoutReader& reader)
{
    using Upgrade::Package::SignatureRecord;
    const Upgrade::Package::Tail tail = reader.readTail();
    if (failedRead(reader))
        return false;
    recordOffset = tail.offset;
    recordBytes = tail.bytes;
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
        const Upgrade::Package::ImageRecord& record = images[i].record;
        stream << "  #" << i + 1 << " " << images[i].type << ": offset " << record.offset << ", record "
               << record.size << " bytes, sub-header " << record.subHeader.length << " bytes, data "
               << record.dataLength() << " bytes, md5 " << images[i].md5;
        if (!Upgrade::Package::isMagic(record.magic))
            stream << ", bad magic " << quoted(record.magic);
        if (record.missing > 0)
            stream << ", truncated by " << record.missing << " bytes";
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
        const Upgrade::Package::ImageRecord& record = image.record;
        imageArray.append(QJsonObject{{"type", image.type},
                                      {"offset", record.offset},
                                      {"size", qint64(record.size)},
                                      {"magic", QString::fromLatin1(record.magic)},
                                      {"subHeaderLength", record.subHeader.length},
                                      {"md5", image.md5},
                                      {"dataLength", qint64(record.dataLength())},
                                      {"missing", record.missing}});
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
