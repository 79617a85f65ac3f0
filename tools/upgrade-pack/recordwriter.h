#pragma once

#include <QByteArray>
#include <QString>

// Puts a signature record after the first `signedLength` bytes of the package
// at `path`, in place of whatever followed them, through a temporary file
// renamed over the package: an interrupted run leaves the old file whole.
// The bytes copied must still have the SHA-256 `digest` that was signed.
bool replaceRecord(const QString& path, qint64 signedLength, const QByteArray& digest,
                   const QByteArray& record, QString* error);
