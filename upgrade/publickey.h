#pragma once

#include <QByteArray>
#include <QString>

#include <openssl/types.h>

#include <memory>

namespace Upgrade {
namespace Package {

// An Ed25519 public key that a package signature is checked against.
class PublicKey
{
public:
    // The key of a PEM "PUBLIC KEY" text (openssl pkey -pubout); a null key
    // and the reason in `error` for anything else.
    static PublicKey fromPem(const QByteArray& pem, QString* error);
    // The same from a file, read no further than a key file can reach.
    static PublicKey fromFile(const QString& path, QString* error);
    // Takes over an Ed25519 key; the signing side derives its public half so.
    static PublicKey fromKey(EVP_PKEY* key);

    // The key id of a raw 32-byte Ed25519 public key.
    static QByteArray idOf(const QByteArray& rawKey);

    bool isNull() const { return !key; }
    QByteArray id() const { return keyId; }
    QByteArray pem() const;
    bool verify(const QByteArray& message, const QByteArray& signature) const;

private:
    std::shared_ptr<EVP_PKEY> key;
    QByteArray keyId;
};

} // namespace Package
} // namespace Upgrade
