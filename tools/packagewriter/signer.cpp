#include "signer.h"

#include "upgrade/signaturerecord.h"

namespace Upgrade {

QByteArray Signer::record(const QByteArray& digest, QString* error) const
{
    using Package::SignatureRecord;
    if (digest.size() != SignatureRecord::DigestSize) {
        *error = QStringLiteral("no SHA-256 of the signed bytes");
        return QByteArray();
    }
    SignatureRecord record;
    record.keyId = publicKey().id();
    record.digest = digest;
    const QByteArray signature = sign(record.signedPart(), error);
    if (signature.isEmpty())
        return QByteArray();
    // A signer that answers with something else, or signs with another key
    // than the one the trust folder will hold, must not leave a package.
    if (signature.size() != SignatureRecord::SignatureSize) {
        *error = QStringLiteral("the signer returned %1 bytes, not a %2-byte Ed25519 signature")
                     .arg(signature.size())
                     .arg(SignatureRecord::SignatureSize);
        return QByteArray();
    }
    if (!publicKey().verify(record.signedPart(), signature)) {
        *error = QStringLiteral("the signature does not check out against key %1")
                     .arg(Package::keyIdText(record.keyId));
        return QByteArray();
    }
    record.signature = signature;
    return record.bytes();
}

} // namespace Upgrade
