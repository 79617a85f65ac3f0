#include "upgrade/trustpolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <dirent.h>

namespace Upgrade {
namespace Package {

namespace {

// Why the folder cannot give keys, or nothing. A dangling link is missing.
QString folderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("is missing");
    if (!info.isDir())
        return QStringLiteral("is not a folder");
    // QDir lists an unreadable folder as an empty one; opendir tells them apart.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    ::closedir(dir);
    return QString();
}

} // namespace

TrustPolicy TrustPolicy::fromFolder(const QString& folder)
{
    TrustPolicy policy;
    // An empty path would name the working folder.
    if (folder.isEmpty())
        return policy;
    policy.policyMode = Enforcing;
    const QString problem = folderProblem(folder);
    if (problem.isEmpty())
        policy.readFolder(folder);
    policy.refuseWithoutKeys(
        QStringLiteral("trust folder \"%1\" %2")
            .arg(folder, problem.isEmpty() ? QStringLiteral("holds no usable key") : problem));
    return policy;
}

TrustPolicy TrustPolicy::fromPaths(const QStringList& paths)
{
    TrustPolicy policy;
    policy.policyMode = Enforcing;
    for (const QString& path : paths) {
        const QFileInfo entry(path);
        if (entry.isDir())
            policy.readFolder(path);
        else
            policy.readFile(entry);
    }
    policy.refuseWithoutKeys(QStringLiteral("no usable trusted key in \"%1\"").arg(paths.join("\", \"")));
    return policy;
}

TrustPolicy TrustPolicy::recordOnly()
{
    TrustPolicy policy;
    policy.policyMode = RecordOnly;
    return policy;
}

const PublicKey* TrustPolicy::find(const QByteArray& keyId) const
{
    for (const PublicKey& key : keys) {
        if (key.id() == keyId)
            return &key;
    }
    return nullptr;
}

void TrustPolicy::readFolder(const QString& folder)
{
    // System lists broken links too: they deserve their warning.
    const QFileInfoList entries
        = QDir(folder).entryInfoList({QStringLiteral("*.pem")}, QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries)
        readFile(entry);
}

void TrustPolicy::readFile(const QFileInfo& entry)
{
    QString error;
    PublicKey key;
    // Only regular files are opened: reading a FIFO would block the check.
    if (entry.isFile())
        key = PublicKey::fromFile(entry.filePath(), &error);
    else
        error = entry.exists() ? QStringLiteral("not a regular file") : QStringLiteral("cannot read: no such file");
    if (key.isNull())
        skippedKeys.push_back({entry.filePath(), error});
    else
        keys.push_back(key);
}

void TrustPolicy::refuseWithoutKeys(const QString& reason)
{
    if (!keys.empty())
        return;
    policyMode = Refusing;
    why = reason;
}

} // namespace Package
} // namespace Upgrade
