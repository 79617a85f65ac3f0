#pragma once

#include "upgrade/publickey.h"

#include <QByteArray>
#include <QString>

namespace Upgrade {

// What makes the Ed25519 signature of a package's signature record: a PEM key
// in this process (SigningKey) or a key that stays in a token behind a
// command (ExternalSigner). The record is built, and its signature checked
// against the public key before anything is written, here for both.
class Signer
{
public:
    virtual ~Signer() = default;

    // The key whose signature the record must carry; its id labels the record.
    virtual const Package::PublicKey& publicKey() const = 0;

    // The signature record for package bytes whose SHA-256 is `digest`;
    // empty, with the reason in `error`, unless the signature checks out.
    QByteArray record(const QByteArray& digest, QString* error) const;

protected:
    // The raw Ed25519 signature of `message`; empty, with the reason in
    // `error`, when none could be made.
    virtual QByteArray sign(const QByteArray& message, QString* error) const = 0;
};

} // namespace Upgrade
