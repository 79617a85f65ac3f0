#pragma once

#include "upgrade/publickey.h"

#include <QByteArray>

#include <QString>
#include <QStringList>

#include <vector>

class QFileInfo;

namespace Upgrade {
namespace Package {

// What a verification asks of a package's signature, decided once for each
// request (from the trust folder the build was configured with, or the keys
// a tool was given) and handed down to the walk, which only carries it out.
class TrustPolicy
{
public:
    enum Mode {
        DigestsOnly, // no folder configured: the digests decide, nothing else is read
        Enforcing, // a valid signature by one of the keys is required as well
        Refusing, // signatures are required but no key is usable: nothing verifies
        RecordOnly, // a signer's view: the signed bytes hashed, the record read, no key trusted
    };

    struct SkippedKey
    {
        QString path;
        QString why;
    };

    // An empty folder: DigestsOnly, without touching the file system. Else
    // the folder's *.pem files in name order; a folder that is missing, not a
    // folder, unreadable or without one usable key refuses every package
    // rather than falling back to the digests.
    static TrustPolicy fromFolder(const QString& folder);
    // Key files and folders named by hand (upgrade-pack verify --trust),
    // each read as the plug-in reads its folder.
    static TrustPolicy fromPaths(const QStringList& paths);
    static TrustPolicy recordOnly();

    Mode mode() const { return policyMode; }
    // Whether the walk hashes what it reads and reads the record after the
    // last image. Every mode but DigestsOnly does: a device that enforces
    // nothing reads and hashes exactly what it did before signatures.
    bool readsRecord() const { return policyMode != DigestsOnly; }
    // The trusted key of that id; only an enforcing policy has any, so a
    // refusing one accepts no record by construction.
    const PublicKey* find(const QByteArray& keyId) const;
    // Why nothing verifies, naming the folder: for the Refusing mode's line.
    const QString& refusal() const { return why; }
    // Key files that failed to load; each trusts nothing, the others still count.
    const std::vector<SkippedKey>& skipped() const { return skippedKeys; }

private:
    void readFolder(const QString& folder);
    void readFile(const QFileInfo& entry);
    void refuseWithoutKeys(const QString& reason);

    Mode policyMode = DigestsOnly;
    std::vector<PublicKey> keys;
    QString why;
    std::vector<SkippedKey> skippedKeys;
};

} // namespace Package
} // namespace Upgrade
