#pragma once

#include "packagewriter.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <vector>

// Builds upgrade packages in a temporary folder for one test, correct ones
// and the deliberately faulty kinds the reader and the verifier must reject.
class PackageFixture
{
public:
    // Changes the contents before the writer lays them out.
    using Change = std::function<void(Upgrade::PackageContents&)>;
    // Changes the laid-out bytes.
    using Damage = std::function<QByteArray(QByteArray)>;

    // Images of the given data sizes, then an optional fault of either kind.
    struct Recipe
    {
        std::vector<int> sizes;
        Change change = {};
        Damage damage = {};
    };

    PackageFixture();

    QString path(const QString& name) const;

    // Deterministic image data: `size` bytes derived from `seed`.
    static QByteArray imageData(int size, int seed);
    // A correct package of images with the given data sizes, model 29974,
    // data version 1.2.3 and main version 2.0.0.
    static Upgrade::PackageContents package(const std::vector<int>& sizes);

    // Writes the package and returns its path.
    QString write(const Upgrade::PackageContents& contents, const QString& name = QStringLiteral("pkg.bin"));
    // Writes the package the recipe makes and returns its path.
    QString build(const Recipe& recipe, const QString& name = QStringLiteral("pkg.bin"));
    // Writes the bytes to `name`, in folders made for it where it names any.
    QString writeBytes(const QByteArray& bytes, const QString& name = QStringLiteral("pkg.bin"));
    QByteArray bytes(const Upgrade::PackageContents& contents);
    QByteArray read(const QString& name) const;

    // Faults laid over the writer's correct bytes; a part that changes keeps
    // the length fields and the check block's record sizes true.
    // Overwrites bytes at `offset`.
    static Damage patched(int offset, const QByteArray& replacement);
    // Cuts off the last `count` bytes.
    static Damage truncated(int count);
    // The image's record starts with `magic`.
    static Damage recordMagic(int image, const QByteArray& magic);
    // The image's sub-header reads `text`.
    static Damage subHeader(int image, const QByteArray& text);
    // The image's sub-header holds its digest in upper case.
    static Damage upperCaseDigest(int image);
    // One data byte changes after the sub-header recorded the digest.
    static Damage changeDataByte(int image, int offset);
    // The check block reads `text`.
    static Damage checkBlock(const QByteArray& text);
    // The bytes followed by the signature record `key` makes of them.
    static QByteArray signedBy(const QByteArray& bytes, const Upgrade::Signer& key);

private:
    QTemporaryDir dir;
};
