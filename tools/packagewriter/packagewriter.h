#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace Upgrade {

class Signer;
namespace Package {
class Sha256;
}

// One image record; its sub-header holds the digest of its data.
struct PackageImage
{
    QString type = QStringLiteral("system");
    QByteArray data; // image data, unless `dataFile` is set
    QString dataFile; // image data streamed from this file
};

// A whole package; the writer derives the check block from the images.
struct PackageContents
{
    QByteArray header; // JSON text, e.g. from PackageWriter::headerJson
    QString checkMd5; // "md5" of the check block; empty: first image's digest
    std::vector<PackageImage> images;
};

// Header fields of a package.
struct PackageHeader
{
    QString name = QStringLiteral("Vesk");
    int modelId = 29974;
    QString mainVersion;
    QString dataVersion;
};

// Lays out upgrade packages: the magic, the JSON header, the Base64 check
// block listing every image record's size, then the records with their
// sub-headers. Record sizes and lower-case digests are computed here.
class PackageWriter
{
public:
    static QByteArray headerJson(const PackageHeader& header);
    static QByteArray subHeaderJson(const QString& md5);
    static QString md5Hex(const QByteArray& data);
    static QByteArray lengthField(quint32 value);

    // Writes through a temporary file renamed into place, so a failure leaves
    // no half-written package at `path`.
    bool write(const PackageContents& contents, const QString& path);
    // The package in memory; for images held in memory.
    QByteArray bytes(const PackageContents& contents);
    QString errorString() const { return error; }

    // Packages written from now on end with a signature record by `key` (a
    // SigningKey or another Signer), over every byte before it; null:
    // unsigned. The key must outlive the writes.
    void setSigningKey(const Signer* key) { signer = key; }

private:
    struct Record
    {
        QByteArray subHeader;
        qint64 dataLength;
        QString md5;
    };

    bool prepare(const PackageContents& contents, std::vector<Record>& records);
    bool hashFile(const QString& path, qint64& length, QString& md5);
    bool writeAll(QIODevice& out, const PackageContents& contents, const std::vector<Record>& records);
    bool copyFile(QIODevice& out, const QString& path, qint64 length);
    QByteArray checkBlock(const PackageContents& contents, const std::vector<Record>& records) const;
    bool put(QIODevice& out, const char* data, qint64 size);
    bool put(QIODevice& out, const QByteArray& data) { return put(out, data.constData(), data.size()); }
    bool fail(const QString& message);

    QString error;
    const Signer* signer = nullptr;
    std::shared_ptr<Package::Sha256> signedBytes; // while a signed package is written
};

} // namespace Upgrade
