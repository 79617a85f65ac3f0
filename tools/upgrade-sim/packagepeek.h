#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace Sim {

// What the simulated device and the summary line need from a package: the
// header's model and versions and the sizes of the listed images, read as the
// plug-in reads the layout; it decides nothing about the package (the plug-in
// does).
class PackagePeek
{
public:
    bool read(const QString& path);

    QByteArray magic;
    QString name;
    int modelId = 0;
    QString dataVersion;
    std::vector<qint64> imageSizes;
    qint64 fileSize = 0;
    QString signerKeyId; // of the signature record after the last image; empty: none

    // "3 images, 24.0 MiB, Vesk model 29974, data version 1.2.0".
    QString summary() const;

private:
    void readHeader(const QByteArray& json);
    void readSignature(const QByteArray& tail);
};

} // namespace Sim
