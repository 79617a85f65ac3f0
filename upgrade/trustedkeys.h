#pragma once

#include "upgrade/publickey.h"

#include <QByteArray>

#include <vector>

namespace Upgrade {
namespace Package {

// The public keys whose signatures a verification accepts.
class TrustedKeys
{
public:
    void add(const PublicKey& key) { keys.push_back(key); }
    bool isEmpty() const { return keys.empty(); }
    const PublicKey* find(const QByteArray& keyId) const;

private:
    std::vector<PublicKey> keys;
};

} // namespace Package
} // namespace Upgrade
