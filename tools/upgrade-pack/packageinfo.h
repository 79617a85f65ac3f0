#pragma once

#include "protomodel/upgradeinfo.h"

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
        quint32 size = 0; // record size listed in the check block
        qint64 offset = 0; // of the record in the file
        QByteArray magic;
        quint32 subHeaderLength = 0;
        QString subHeader;
        QString md5; // from the sub-header
        quint32 dataLength = 0;
        qint64 missing = 0; // bytes of the record past the end of the file
    };

    bool read(const QString& path);
    QString errorString() const { return error; }
    // The storage failed under the package; errorString() says where.
    bool readFailed() const { return readErrorAt >= 0; }

    QString toText() const;
    QJsonObject toJson() const;

private:
    bool readImages(class QFile& file, const std::vector<quint32>& sizes, const QStringList& types);
    bool readSignature(class QFile& file);
    bool failedRead(const class QFile& file);
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
