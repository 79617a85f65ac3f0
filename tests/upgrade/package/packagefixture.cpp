#include "packagefixture.h"

#include <QFile>

#include <gtest/gtest.h>

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
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
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

PackageFixture::Change PackageFixture::upperCaseDigest(int image)
{
    return [image](Upgrade::PackageContents& contents) {
        Upgrade::PackageImage& target = contents.images.at(static_cast<size_t>(image));
        target.subHeader
            = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex(target.data).toUpper());
    };
}

PackageFixture::Change PackageFixture::changeDataByte(int image, int offset)
{
    return [image, offset](Upgrade::PackageContents& contents) {
        Upgrade::PackageImage& target = contents.images.at(static_cast<size_t>(image));
        target.subHeader = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex(target.data));
        target.data[offset] = static_cast<char>(target.data.at(offset) ^ 0x01);
    };
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
