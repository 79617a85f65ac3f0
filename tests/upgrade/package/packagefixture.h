#pragma once

#include "packagewriter.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Builds upgrade packages in a temporary folder for one test, correct ones
// and the deliberately faulty kinds the reader and the verifier must reject.
class PackageFixture
{
public:
    PackageFixture();

    QString path(const QString& name) const;

    // Deterministic image data: `size` bytes derived from `seed`.
    static QByteArray imageData(int size, int seed);
    // A correct package of images with the given data sizes.
    static Upgrade::PackageContents package(const std::vector<int>& sizes);
    static QByteArray headerJson(int modelId = 29974, const QString& dataVersion = QStringLiteral("1.2.3"));

    // Writes the package and returns its path.
    QString write(const Upgrade::PackageContents& contents, const QString& name = QStringLiteral("pkg.bin"));
    QString writeBytes(const QByteArray& bytes, const QString& name = QStringLiteral("pkg.bin"));
    QByteArray bytes(const Upgrade::PackageContents& contents);

    // Faults.
    // The image's sub-header holds its digest in upper case.
    static void upperCaseDigest(Upgrade::PackageContents& contents, int image);
    // One data byte changes after the sub-header recorded the digest.
    static void changeDataByte(Upgrade::PackageContents& contents, int image, int offset);
    // Overwrites bytes of a package in place.
    static QByteArray patched(QByteArray bytes, int offset, const QByteArray& replacement);
    // A package with its last `count` bytes cut off.
    static QByteArray truncated(QByteArray bytes, int count);

private:
    QTemporaryDir dir;
};
