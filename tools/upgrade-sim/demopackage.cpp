#include "demopackage.h"

#include "packagewriter.h"
#include "signingkey.h"

#include <QDir>

#include <array>
#include <cstring>

namespace Sim {

namespace {

struct DemoImage
{
    const char* type;
    int share; // sixths of the image data
};

const std::array<DemoImage, 3> Images = {{{"system", 3}, {"resources", 2}, {"boot", 1}}};

} // namespace

const char* const DemoPackage::DataVersion = "1.2.0";

QByteArray DemoPackage::imageData(int index, qint64 size)
{
    QByteArray data(int(size), Qt::Uninitialized);
    // xorshift64: fast, and the same for every run.
    quint64 state = 0x9e3779b97f4a7c15ull * quint64(index + 1);
    char* out = data.data();
    for (qint64 at = 0; at < size; at += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(out + at, &state, size_t(qMin<qint64>(8, size - at)));
    }
    return data;
}

bool DemoPackage::create(qint64 imageBytes, const Upgrade::SigningKey* signer)
{
    folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/upgrade-sim-XXXXXX"));
    if (!folder->isValid()) {
        error = QStringLiteral("cannot create a temporary folder for the demo package: %1")
                    .arg(folder->errorString());
        return false;
    }
    Upgrade::PackageHeader header;
    header.mainVersion = QString::fromLatin1(DataVersion);
    header.dataVersion = QString::fromLatin1(DataVersion);
    Upgrade::PackageContents contents;
    contents.header = Upgrade::PackageWriter::headerJson(header);
    qint64 left = imageBytes;
    for (size_t i = 0; i < Images.size(); ++i) {
        const qint64 size = i + 1 == Images.size() ? left : imageBytes * Images[i].share / 6;
        left -= size;
        Upgrade::PackageImage image;
        image.type = QString::fromLatin1(Images[i].type);
        image.data = imageData(int(i), size);
        contents.images.push_back(image);
    }
    file = folder->filePath(QStringLiteral("vesk-29974-%1.upg").arg(QString::fromLatin1(DataVersion)));
    Upgrade::PackageWriter writer;
    writer.setSigningKey(signer);
    if (!writer.write(contents, file)) {
        error = QStringLiteral("cannot write the demo package: %1").arg(writer.errorString());
        return false;
    }
    return true;
}

} // namespace Sim
