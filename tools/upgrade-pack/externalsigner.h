#pragma once

#include "signer.h"

// A signing key that never leaves its token, HSM or signing service: a shell
// command (run with /bin/sh -c) gets the bytes to sign on its standard input
// and writes their raw 64-byte Ed25519 signature on its standard output, as
// `pkcs11-tool --sign --mechanism EDDSA` does. The public key given with it
// names the record and checks every signature the command returns.
class ExternalSigner : public Upgrade::Signer
{
public:
    ExternalSigner(const QString& command, const Upgrade::Package::PublicKey& key);

    const Upgrade::Package::PublicKey& publicKey() const override { return key; }

protected:
    QByteArray sign(const QByteArray& message, QString* error) const override;

private:
    QString command;
    Upgrade::Package::PublicKey key;
};
