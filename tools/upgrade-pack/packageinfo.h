#pragma once

#include "protomodel/upgradeinfo.h"
#include "upgrade/layoutreader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

// What an upgrade package holds, read for display: the header, the check
// block and the table of image records. Nothing is hashed here.
class PackageInfo
{
public:
    struct Image
    {
        QString type;
        Upgrade::Package::ImageRecord record;
        QString md5; // from the sub-header
    };

    bool read(const QString& path);
    QString errorString() const { return error; }
    // The storage failed under the package; errorString() says where.
    bool readFailed() const { return readErrorAt >= 0; }

    QString toText() const;
    QJsonObject toJson() const;

private:
    void decodeHeader(const Upgrade::Package::Field& field);
    bool readImages(Upgrade::Package::LayoutReader& reader, const std::vector<quint32>& sizes,
                    const QStringList& types);
    bool readSignature(Upgrade::Package::LayoutReader& reader);
    bool failedRead(const Upgrade::Package::LayoutReader& reader);
    QString signatureText() const;
    QJsonObject signatureJson() const;

    QString path;
    qint64 fileSize = 0;
    QByteArray magic;
    quint32 headerLength = 0;
    QByteArray header;
    bool headerDecoded = false;
    QString headerError;
    LCD::ProtoModel::Device::s_UpgradeInfo headerInfo;
    quint32 checkLength = 0;
    QString checkText;
    QString checkMd5;
    std::vector<Image> images;
    // What follows the last image: nothing, a signature record, or neither.
    qint64 recordOffset = 0;
    QByteArray recordBytes;
    QString recordKeyId;
    QByteArray recordDigest;
    QString recordProblem;
    QString error;
    qint64 readErrorAt = -1;
};
