#include "upgrade/trustedkeys.h"

namespace Upgrade {
namespace Package {

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
