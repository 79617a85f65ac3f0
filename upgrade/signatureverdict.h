#pragma once

#include <QByteArray>
#include <QString>

class QDebug;

namespace Upgrade {
namespace Package {

// What the signature record after a package's last image says, judged
// against the trusted keys.
struct SignatureVerdict
{
    enum Status {
        NotChecked, // no key is trusted, or the digests already failed
        Valid,
        NoRecord, // nothing follows the last image
        MalformedRecord,
        UnknownKey,
        InvalidSignature,
        SignedBytesDiffer, // a valid record for other bytes
    };

    Status status = NotChecked;
    QString keyId; // of the record, once it parsed
    QString problem; // what is wrong with a malformed record
    qint64 signedLength = 0; // package bytes before the record
    QByteArray digest; // their SHA-256

    bool accepts() const { return status == NotChecked || status == Valid; }
};

// Why a check failed, as the walk's log line gives it.
QDebug operator<<(QDebug debug, const SignatureVerdict& verdict);

} // namespace Package
} // namespace Upgrade
