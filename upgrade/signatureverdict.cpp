#include "upgrade/signatureverdict.h"

#include <QDebug>

namespace Upgrade {
namespace Package {

QDebug operator<<(QDebug debug, const SignatureVerdict& verdict)
{
    switch (verdict.status) {
    case SignatureVerdict::NoRecord:
        return debug << "no record";
    case SignatureVerdict::MalformedRecord:
        return debug << "malformed record" << verdict.problem;
    case SignatureVerdict::UnknownKey:
        return debug << "unknown key id" << verdict.keyId;
    case SignatureVerdict::InvalidSignature:
        return debug << "invalid signature, key id" << verdict.keyId;
    case SignatureVerdict::SignedBytesDiffer:
        return debug << "signed bytes differ, key id" << verdict.keyId;
    case SignatureVerdict::NotChecked:
    case SignatureVerdict::Valid:
        break;
    }
    return debug << "valid";
}

} // namespace Package
} // namespace Upgrade
