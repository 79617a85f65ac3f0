#include "upgrade/trustedkeys.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace Upgrade {
namespace Package {

namespace {

PublicKey readKeyFile(const QFileInfo& entry, QString* error)
{
    // Only regular files are opened: reading a FIFO would block the check.
    if (entry.isFile())
        return PublicKey::fromFile(entry.filePath(), error);
    *error
        = entry.exists() ? QStringLiteral("not a regular file") : QStringLiteral("cannot read: no such file");
    return PublicKey();
}

} // namespace

TrustedKeys TrustedKeys::fromFolder(const QString& folder, const QMessageLogger& log)
{
    TrustedKeys trusted;
    // An empty path would name the working folder.
    if (folder.isEmpty())
        return trusted;
    // System lists broken links too: they deserve their warning.
    const QFileInfoList entries
        = QDir(folder).entryInfoList({QStringLiteral("*.pem")}, QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        QString error;
        const PublicKey key = readKeyFile(entry, &error);
        if (key.isNull())
            log.warning() << "trusted key skipped:" << entry.filePath() << error;
        else
            trusted.add(key);
    }
    return trusted;
}

const PublicKey* TrustedKeys::find(const QByteArray& keyId) const
{
    for (const PublicKey& key : keys) {
        if (key.id() == keyId)
            return &key;
    }
    return nullptr;
}

} // namespace Package
} // namespace Upgrade
