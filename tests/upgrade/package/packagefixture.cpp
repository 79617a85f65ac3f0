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
    Upgrade::PackageContents contents;
    contents.header = headerJson();
    int seed = 0;
    for (int size : sizes) {
        Upgrade::PackageImage image;
        image.type = QStringLiteral("image%1").arg(seed);
        image.data = imageData(size, seed++);
        contents.images.push_back(image);
    }
    return contents;
}

QByteArray PackageFixture::headerJson(int modelId, const QString& dataVersion)
{
    Upgrade::PackageHeader header;
    header.name = QStringLiteral("LCD");
    header.modelId = modelId;
    header.mainVersion = QStringLiteral("2.0.0");
    header.dataVersion = dataVersion;
    return Upgrade::PackageWriter::headerJson(header);
}

QString PackageFixture::write(const Upgrade::PackageContents& contents, const QString& name)
{
    Upgrade::PackageWriter writer;
    const QString file = path(name);
    EXPECT_TRUE(writer.write(contents, file)) << writer.errorString().toStdString();
    return file;
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

void PackageFixture::upperCaseDigest(Upgrade::PackageContents& contents, int image)
{
    Upgrade::PackageImage& target = contents.images.at(static_cast<size_t>(image));
    target.subHeader
        = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex(target.data).toUpper());
}

void PackageFixture::changeDataByte(Upgrade::PackageContents& contents, int image, int offset)
{
    Upgrade::PackageImage& target = contents.images.at(static_cast<size_t>(image));
    target.subHeader = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex(target.data));
    target.data[offset] = static_cast<char>(target.data.at(offset) ^ 0x01);
}

QByteArray PackageFixture::patched(QByteArray bytes, int offset, const QByteArray& replacement)
{
    bytes.replace(offset, replacement.size(), replacement);
    return bytes;
}

QByteArray PackageFixture::truncated(QByteArray bytes, int count)
{
    bytes.chop(count);
    return bytes;
}
