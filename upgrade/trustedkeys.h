#pragma once

#include "upgrade/publickey.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QMessageLogger;

namespace Upgrade {
namespace Package {

// The public keys whose signatures a verification accepts.
class TrustedKeys
{
public:
    // The keys of the folder's *.pem files, in name order. A file that is not
    // a readable Ed25519 public key is skipped with a warning through `log`
    // and trusts nothing. No folder, or none given: no keys and no line.
    static TrustedKeys fromFolder(const QString& folder, const QMessageLogger& log);

    void add(const PublicKey& key) { keys.push_back(key); }
    bool isEmpty() const { return keys.empty(); }
    const PublicKey* find(const QByteArray& keyId) const;

private:
    std::vector<PublicKey> keys;
};

} // namespace Package
} // namespace Upgrade
