#include "rehearsaltrust.h"

#include "upgrade/publickey.h"

#include <QDir>
#include <QFile>

namespace Sim {

const char* const RehearsalTrust::Variable = "UPGRADE_REHEARSAL_TRUST_DIR";

bool RehearsalTrust::create(const QStringList& keyFiles, bool throwawayKey)
{
    folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/upgrade-sim-trust-XXXXXX"));
    if (!folder->isValid()) {
        error = QStringLiteral("cannot create a trust folder: %1").arg(folder->errorString());
        return false;
    }
    for (int i = 0; i < keyFiles.size(); ++i) {
        // Checked here, so a key the plug-in would skip fails the run instead.
        const Upgrade::Package::PublicKey key = Upgrade::Package::PublicKey::fromFile(keyFiles[i], &error);
        if (key.isNull()) {
            error = QStringLiteral("cannot use trusted key '%1': %2").arg(keyFiles[i], error);
            return false;
        }
        if (!addKey(key.pem(), QStringLiteral("trusted-%1.pem").arg(i + 1)))
            return false;
    }
    if (throwawayKey) {
        throwaway = Upgrade::SigningKey::generate();
        if (throwaway.isNull() || !addKey(throwaway.publicKey().pem(), QStringLiteral("throwaway.pem")))
            return false;
    }
    qputenv(Variable, QFile::encodeName(folder->path()));
    return true;
}

bool RehearsalTrust::addKey(const QByteArray& pem, const QString& name)
{
    QFile file(folder->filePath(name));
    if (pem.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(pem) != pem.size()) {
        error = QStringLiteral("cannot write '%1' to the trust folder: %2").arg(name, file.errorString());
        return false;
    }
    return true;
}

} // namespace Sim
