#include "upgrade/signaturecheck.h"

#include "upgrade/packageformat.h"
#include "upgrade/signaturerecord.h"
#include "upgrade/trustpolicy.h"
#include "upgrade/upgradeids.h"

#include <QDebug>

#include <cstring>

namespace Upgrade {
namespace Package {

SignatureCheck::SignatureCheck(const TrustPolicy& trust)
    : policy(trust)
    , sha(trust.readsRecord() ? std::make_unique<Sha256>() : nullptr)
{
}

SignatureCheck::~SignatureCheck() = default;

void SignatureCheck::addMagic()
{
    // The walk only goes on past a magic that is PackageMagic.
    add(PackageMagic, static_cast<qint64>(std::strlen(PackageMagic)));
}

ByteSink SignatureCheck::sink()
{
    if (!sha)
        return ByteSink();
    return [this](const char* data, qint64 size) { add(data, size); };
}

SignatureVerdict SignatureCheck::finish(const Tail& tail)
{
    SignatureVerdict verdict;
    if (!sha)
        return verdict;
    verdict.signedLength = tail.offset;
    verdict.digest = sha->result();
    const std::optional<SignatureRecord> record = SignatureRecord::parse(tail.bytes, &verdict.problem);
    const PublicKey* key = record ? policy.find(record->keyId) : nullptr;
    if (record)
        verdict.keyId = keyIdText(record->keyId);
    if (tail.bytes.isEmpty())
        verdict.status = SignatureVerdict::NoRecord;
    else if (!record)
        verdict.status = SignatureVerdict::MalformedRecord;
    else if (!key)
        verdict.status = SignatureVerdict::UnknownKey;
    // The record's own fields first: a forged digest is an invalid signature.
    else if (!key->verify(record->signedPart(), record->signature))
        verdict.status = SignatureVerdict::InvalidSignature;
    else if (record->digest != verdict.digest)
        verdict.status = SignatureVerdict::SignedBytesDiffer;
    else
        verdict.status = SignatureVerdict::Valid;
    return verdict;
}

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
    case SignatureVerdict::NotRequired:
    case SignatureVerdict::NotReached:
    case SignatureVerdict::Valid:
        break;
    }
    return debug << "valid";
}

} // namespace Package
} // namespace Upgrade
