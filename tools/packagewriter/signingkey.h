#pragma once

#include "signer.h"

#include <QByteArray>
#include <QString>

#include <openssl/types.h>

#include <memory>

namespace Upgrade {

// An Ed25519 private key that signs packages: a maker's PEM file
// (openssl genpkey -algorithm ed25519), or a throwaway one for a rehearsal.
class SigningKey : public Signer
{
public:
    // A null key and the reason in `error` unless the file holds an Ed25519
    // private key.
    static SigningKey fromFile(const QString& path, QString* error);
    static SigningKey generate();

    bool isNull() const { return !key; }
    const Package::PublicKey& publicKey() const override { return publicHalf; }

protected:
    QByteArray sign(const QByteArray& message, QString* error) const override;

private:
    static SigningKey fromKey(EVP_PKEY* taken);

    std::shared_ptr<EVP_PKEY> key;
    Package::PublicKey publicHalf;
};

} // namespace Upgrade
