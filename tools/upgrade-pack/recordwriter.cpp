#include "recordwriter.h"

#include "upgrade/sha256.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr qint64 CopyChunk = 1 << 20;

bool copyPrefix(QFile& in, QSaveFile& out, qint64 length, QByteArray* digest)
{
    Upgrade::Package::Sha256 sha;
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    for (qint64 copied = 0; copied < length;) {
        const qint64 n = in.read(buffer.data(), qMin(CopyChunk, length - copied));
        if (n <= 0 || out.write(buffer.constData(), n) != n)
            return false;
        sha.add(buffer.constData(), n);
        copied += n;
    }
    *digest = sha.result();
    return true;
}

} // namespace

bool replaceRecord(const QString& path, qint64 signedLength, const QByteArray& digest,
                   const QByteArray& record, QString* error)
{
    QFile in(path);
    QSaveFile out(path);
    QByteArray copied;
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)
        || !copyPrefix(in, out, signedLength, &copied) || out.write(record) != record.size()) {
        *error = QStringLiteral("cannot rewrite '%1': %2")
                     .arg(path, in.error() != QFileDevice::NoError ? in.errorString() : out.errorString());
        return false;
    }
    // Another writer between the walk and the copy would leave a record
    // for bytes the package no longer holds.
    if (copied != digest) {
        out.cancelWriting();
        *error = QStringLiteral("'%1' changed while it was signed").arg(path);
        return false;
    }
    if (!out.commit()) {
        *error = QStringLiteral("cannot rewrite '%1': %2").arg(path, out.errorString());
        return false;
    }
    return true;
}
