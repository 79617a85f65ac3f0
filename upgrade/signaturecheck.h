#pragma once

#include "upgrade/packageformat.h"
#include "upgrade/sha256.h"
#include "upgrade/signatureverdict.h"

#include <QByteArray>

#include <memory>

class QIODevice;

namespace Upgrade {
namespace Package {

class TrustedKeys;

// The signature check that rides along the verification walk: every byte
// the walk reads goes into a running SHA-256, and the record that follows
// the last image is judged against it. Without keys it does nothing at all,
// so a device that trusts no key reads and hashes exactly what it did before.
class SignatureCheck
{
public:
    // Null keys: inactive. An empty set still hashes and reads the record,
    // for a signer that needs the digest and trusts nothing.
    explicit SignatureCheck(const TrustedKeys* keys);
    ~SignatureCheck();
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    bool active() const { return keys != nullptr; }

    // A magic the walk has compared; the rest of the head, length fields
    // and texts, comes in through sink() as it is read.
    void addMagic();
    // Feeds the running digest; null when inactive.
    ByteSink sink();
    void add(const char* data, qint64 size)
    {
        if (sha)
            sha->add(data, size);
    }

    // Reads the record from the device's position to its end, never past
    // the record's bound, and judges it.
    SignatureVerdict finish(QIODevice& device);

private:
    const TrustedKeys* keys;
    std::unique_ptr<Sha256> sha;
};

} // namespace Package
} // namespace Upgrade
