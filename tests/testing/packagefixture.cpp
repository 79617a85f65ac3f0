#include "testing/packagefixture.h"

#include "signer.h"
#include "upgrade/sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// The writer's sub-headers are the only text of this kind in a package.
const QByteArray SubHeaderStart = QByteArrayLiteral("{\"md5\":\"");
const int SubHeaderLength = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex({})).size();

// Where the `n`th `text` (from 0) starts.
int nth(const QByteArray& bytes, const QByteArray& text, int n)
{
    int at = -1;
    for (int i = 0; i <= n; ++i)
        at = bytes.indexOf(text, at + 1);
    return at;
}

// The check block follows the flat JSON header and its length field, and
// ends where the first record's magic and length field start.
std::pair<int, int> checkBlockSpan(const QByteArray& bytes)
{
    const int at = bytes.indexOf('}') + 5;
    return {at, nth(bytes, SubHeaderStart, 0) - 8 - at};
}

// Replaces the `length` bytes at `offset` with `text`, and the length field
// before them with its length.
QByteArray spliced(QByteArray bytes, int offset, int length, const QByteArray& text)
{
    const QByteArray field = Upgrade::PackageWriter::lengthField(quint32(text.size()));
    return bytes.replace(offset, length, text).replace(offset - 4, 4, field);
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
    return writeBytes(bytes(contents), name);
}

QString PackageFixture::build(const Recipe& recipe, const QString& name)
{
    Upgrade::PackageContents contents = package(recipe.sizes);
    if (recipe.change)
        recipe.change(contents);
    return writeBytes(recipe.damage ? recipe.damage(bytes(contents)) : bytes(contents), name);
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
    return [=](QByteArray bytes) { return bytes.replace(nth(bytes, SubHeaderStart, image) - 8, 4, magic); };
}

PackageFixture::Damage PackageFixture::subHeader(int image, const QByteArray& text)
{
    return [=](const QByteArray& bytes) {
        // The check block lists the record's size, which changes with it.
        const auto [at, length] = checkBlockSpan(bytes);
        QByteArray list = QByteArray::fromBase64(bytes.mid(at, length));
        const int size = nth(list, "\"size\":\"", image) + 8;
        const int digits = list.indexOf('"', size) - size;
        const qint64 grown = list.mid(size, digits).toLongLong() + text.size() - SubHeaderLength;
        list.replace(size, digits, QByteArray::number(grown));
        const QByteArray listed = spliced(bytes, at, length, list.toBase64());
        return spliced(listed, nth(listed, SubHeaderStart, image), SubHeaderLength, text);
    };
}

PackageFixture::Damage PackageFixture::upperCaseDigest(int image)
{
    return [image](QByteArray bytes) {
        const int at = nth(bytes, SubHeaderStart, image) + SubHeaderStart.size();
        return bytes.replace(at, 32, bytes.mid(at, 32).toUpper());
    };
}

PackageFixture::Damage PackageFixture::changeDataByte(int image, int offset)
{
    return [=](QByteArray bytes) {
        const int at = nth(bytes, SubHeaderStart, image) + SubHeaderLength + offset;
        bytes[at] = static_cast<char>(bytes.at(at) ^ 0x01);
        return bytes;
    };
}

PackageFixture::Damage PackageFixture::checkBlock(const QByteArray& text)
{
    return [text](const QByteArray& bytes) {
        const auto [at, length] = checkBlockSpan(bytes);
        return spliced(bytes, at, length, text);
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
