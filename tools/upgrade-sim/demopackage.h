#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace Upgrade {
class SigningKey;
}

namespace Sim {

// The built-in demo: a package of three images with correct digests, made
// for the one supported device and newer than the simulated device, in a
// temporary folder that goes away with this object.
class DemoPackage
{
public:
    static const char* const DataVersion;

    // Writes the package with `imageBytes` of image data in all, signed by
    // `signer` when there is one.
    bool create(qint64 imageBytes, const Upgrade::SigningKey* signer = nullptr);
    QString path() const { return file; }
    QString errorString() const { return error; }

    // The image data: the same pseudo-random bytes on every run, so digests
    // and traces repeat.
    static QByteArray imageData(int index, qint64 size);

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString file;
    QString error;
};

} // namespace Sim
