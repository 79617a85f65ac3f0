#pragma once

#include "upgrade/layoutreader.h"
#include "upgrade/packageformat.h"
#include "upgrade/sha256.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QDebug;

namespace Upgrade {
namespace Package {

class TrustPolicy;

// What the signature record after a package's last image says, judged
// against the trust policy's keys.
struct SignatureVerdict
{
    enum Status {
        NotRequired, // the policy reads no record: the digests decide alone
        NotReached, // the walk failed (magic, digests, storage) before the record
        Valid,
        NoRecord, // nothing follows the last image
        MalformedRecord,
        UnknownKey, // no trusted key has this id (a refusing or signer's policy trusts none)
        InvalidSignature,
        SignedBytesDiffer, // a valid record for other bytes
    };

    Status status = NotRequired;
    QString keyId; // of the record, once it parsed
    QString problem; // what is wrong with a malformed record
    qint64 signedLength = 0; // package bytes before the record
    QByteArray digest; // their SHA-256

    bool accepts() const { return status == NotRequired || status == Valid; }
};

// Why a check failed, as the walk's log line gives it.
QDebug operator<<(QDebug debug, const SignatureVerdict& verdict);

// The signature check that rides along the verification walk: every byte
// the walk reads goes into a running SHA-256, and the record that follows
// the last image is judged against it. Under a policy that reads no record
// it does nothing at all.
class SignatureCheck
{
public:
    explicit SignatureCheck(const TrustPolicy& policy);
    ~SignatureCheck();
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    bool active() const { return sha != nullptr; }

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

    // Judges what follows the last image (the layout reader's tail, never
    // longer than the record's bound) against the bytes hashed so far.
    SignatureVerdict finish(const Tail& tail);

private:
    const TrustPolicy& policy;
    std::unique_ptr<Sha256> sha;
};

} // namespace Package
} // namespace Upgrade
