#include "recordwriter.h"

#include "upgrade/sha256.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr qint64 CopyChunk = 1 << 20;

bool copyPrefix(QFile& in, QSaveFile& rewritten, qint64 length, QByteArray* digest)
{
    Upgrade::Package::Sha256 sha;
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    for (qint64 copied = 0; copied < length;) {
        const qint64 n = in.read(buffer.data(), qMin(CopyChunk, length - copied));
        if (n <= 0 || rewritten.write(buffer.constData(), n) != n)
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
    QSaveFile rewritten(path);
    QByteArray copied;
    if (!in.open(QIODevice::ReadOnly) || !rewritten.open(QIODevice::WriteOnly)
        || !copyPrefix(in, rewritten, signedLength, &copied) || rewritten.write(record) != record.size()) {
        *error = QStringLiteral("cannot rewrite '%1': %2")
                     .arg(path, in.error() != QFileDevice::NoError ? in.errorString() : rewritten.errorString());
        return false;
    }
    // Another writer between the walk and the copy would leave a record
    // for bytes the package no longer holds.
    if (copied != digest) {
        rewritten.cancelWriting();
        *error = QStringLiteral("'%1' changed while it was signed").arg(path);
        return false;
    }
    if (!rewritten.commit()) {
        *error = QStringLiteral("cannot rewrite '%1': %2").arg(path, rewritten.errorString());
        return false;
    }
    return true;
}
