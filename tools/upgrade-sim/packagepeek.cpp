#include "packagepeek.h"

#include "upgrade/layoutreader.h"
#include "upgrade/signaturerecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Sim {

bool PackagePeek::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    fileSize = file.size();
    Upgrade::Package::LayoutReader reader(file);
    magic = reader.readMagic();
    const Upgrade::Package::CheckBlock head = reader.readHead();
    readHeader(head.header.bytes);
    imageSizes.assign(head.packet.systemImages.begin(), head.packet.systemImages.end());
    for (uint32_t size : head.packet.systemImages)
        reader.readImage(size);
    readSignature(reader.readTail().bytes);
    return true;
}

void PackagePeek::readHeader(const QByteArray& json)
{
    const QJsonObject header = QJsonDocument::fromJson(json).object();
    name = header.value(QStringLiteral("name")).toString();
    modelId = header.value(QStringLiteral("modelID")).toInt();
    dataVersion = header.value(QStringLiteral("dataVersion")).toString();
}

// Only for the verify line: whether the signature counts is the plug-in's call.
void PackagePeek::readSignature(const QByteArray& tail)
{
    const auto record = Upgrade::Package::SignatureRecord::parse(tail, nullptr);
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
