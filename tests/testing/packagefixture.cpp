#include "testing/packagefixture.h"

#include "signer.h"
#include "upgrade/sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// The writer's sub-headers are the only text of this kind in a package.
const QByteArray SubHeaderStart = QByteArrayLiteral("{\"md5\":\"");
const int SubHeaderLength = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex({})).size();

int subHeaderAt(const QByteArray& bytes, int image)
{
    int at = -1;
    for (int i = 0; i <= image; ++i)
        at = bytes.indexOf(SubHeaderStart, at + 1);
    EXPECT_GE(at, 0) << "no sub-header of image " << image;
    return at;
}

// Replaces the `length` bytes at `offset` with `text`, and the length field
// before them with its length.
QByteArray spliced(QByteArray bytes, int offset, int length, const QByteArray& text)
{
    QByteArray field(4, '\0');
    qToLittleEndian(quint32(text.size()), field.data());
    return bytes.replace(offset, length, text).replace(offset - 4, 4, field);
}

// The check block follows the flat JSON header and its length field, and
// ends where the first record's magic and length field start.
int checkBlockAt(const QByteArray& bytes)
{
    return bytes.indexOf('}') + 5;
}

int checkBlockLength(const QByteArray& bytes)
{
    return subHeaderAt(bytes, 0) - 8 - checkBlockAt(bytes);
}

} // namespace

PackageFixture::PackageFixture()
{
    EXPECT_TRUE(dir.isValid());
}

QString PackageFixture::path(const QString& name) const
{
    return dir.filePath(name);
}

QByteArray PackageFixture::imageData(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 state = 2654435761u * static_cast<quint32>(seed + 1);
    for (int i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = static_cast<char>(state >> 24);
    }
    return data;
}

Upgrade::PackageContents PackageFixture::package(const std::vector<int>& sizes)
{
    Upgrade::PackageHeader header;
    header.name = QStringLiteral("LCD");
    header.mainVersion = QStringLiteral("2.0.0");
    header.dataVersion = QStringLiteral("1.2.3");
    Upgrade::PackageContents contents;
    contents.header = Upgrade::PackageWriter::headerJson(header);
    int seed = 0;
    for (int size : sizes) {
        Upgrade::PackageImage image;
        image.type = QStringLiteral("image%1").arg(seed);
        image.data = imageData(size, seed++);
        contents.images.push_back(image);
    }
    return contents;
}

QString PackageFixture::write(const Upgrade::PackageContents& contents, const QString& name)
{
    Upgrade::PackageWriter writer;
    const QString file = path(name);
    EXPECT_TRUE(writer.write(contents, file)) << writer.errorString().toStdString();
    return file;
}

QString PackageFixture::build(const Recipe& recipe, const QString& name)
{
    Upgrade::PackageContents contents = package(recipe.sizes);
    if (recipe.change)
        recipe.change(contents);
    return recipe.damage ? writeBytes(recipe.damage(bytes(contents)), name) : write(contents, name);
}

QString PackageFixture::writeBytes(const QByteArray& bytes, const QString& name)
{
    QFile file(path(name));
    EXPECT_TRUE(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return file.fileName();
}

QByteArray PackageFixture::bytes(const Upgrade::PackageContents& contents)
{
    Upgrade::PackageWriter writer;
    const QByteArray package = writer.bytes(contents);
    EXPECT_FALSE(package.isEmpty()) << writer.errorString().toStdString();
    return package;
}

QByteArray PackageFixture::read(const QString& name) const
{
    QFile file(path(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

PackageFixture::Damage PackageFixture::patched(int offset, const QByteArray& replacement)
{
    return [offset, replacement](QByteArray bytes) {
        return bytes.replace(offset, replacement.size(), replacement);
    };
}

PackageFixture::Damage PackageFixture::truncated(int count)
{
    return [count](QByteArray bytes) {
        bytes.chop(count);
        return bytes;
    };
}

PackageFixture::Damage PackageFixture::recordMagic(int image, const QByteArray& magic)
{
    // The magic and the sub-header's length field come before the sub-header.
    return [=](QByteArray bytes) { return bytes.replace(subHeaderAt(bytes, image) - 8, 4, magic); };
}

PackageFixture::Damage PackageFixture::subHeader(int image, const QByteArray& text)
{
    return [=](const QByteArray& bytes) {
        // The check block lists the record's size, which changes with it.
        QJsonObject list = QJsonDocument::fromJson(QByteArray::fromBase64(
                                                       bytes.mid(checkBlockAt(bytes), checkBlockLength(bytes))))
                               .object();
        QJsonArray images = list.value(QLatin1String("systemImages")).toArray();
        QJsonObject entry = images.at(image).toObject();
        const qint64 size = entry.value(QLatin1String("size")).toString().toLongLong();
        entry.insert(QLatin1String("size"), QString::number(size + text.size() - SubHeaderLength));
        images.replace(image, entry);
        list.insert(QLatin1String("systemImages"), images);
        const QByteArray listed = checkBlock(QJsonDocument(list).toJson(QJsonDocument::Compact).toBase64())(bytes);
        return spliced(listed, subHeaderAt(listed, image), SubHeaderLength, text);
    };
}

PackageFixture::Damage PackageFixture::upperCaseDigest(int image)
{
    return [image](QByteArray bytes) {
        const int at = subHeaderAt(bytes, image) + SubHeaderStart.size();
        return bytes.replace(at, 32, bytes.mid(at, 32).toUpper());
    };
}

PackageFixture::Damage PackageFixture::changeDataByte(int image, int offset)
{
    return [=](QByteArray bytes) {
        const int at = subHeaderAt(bytes, image) + SubHeaderLength + offset;
        bytes[at] = static_cast<char>(bytes.at(at) ^ 0x01);
        return bytes;
    };
}

PackageFixture::Damage PackageFixture::checkBlock(const QByteArray& text)
{
    return [text](const QByteArray& bytes) {
        return spliced(bytes, checkBlockAt(bytes), checkBlockLength(bytes), text);
    };
}

QByteArray PackageFixture::signedBy(const QByteArray& bytes, const Upgrade::Signer& key)
{
    Upgrade::Package::Sha256 digest;
    digest.add(bytes.constData(), bytes.size());
    QString error;
    const QByteArray record = key.record(digest.result(), &error);
    EXPECT_FALSE(record.isEmpty()) << error.toStdString();
    return bytes + record;
}
