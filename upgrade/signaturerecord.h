#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Upgrade {
namespace Package {

// The record that signs a package. It follows the last image record, where
// readers of the package layout never look, so a signed package stays a
// valid package for devices and tools that know nothing of it.
//
//   offset  size  content (lengths little-endian)
//   0       4     magic "Vsig"
//   4       4     length of the whole record: 116 in format version 1
//   8       2     format version: 1
//   10      2     algorithm: 1, Ed25519
//   12      8     key id: the first 8 bytes of the SHA-256 of the raw public key
//   20      32    SHA-256 of every package byte before the record
//   52      64    Ed25519 signature of the record's first 52 bytes
//
// The length field lets a later version carry more (a certificate, say)
// without older readers misreading it; it is bounded, so a hostile value
// never makes a reader reserve or read more than a few KiB.
struct SignatureRecord
{
    static constexpr int Length = 116;
    static constexpr int MaxLength = 4096;
    static constexpr int KeyIdSize = 8;
    static constexpr int DigestSize = 32;
    static constexpr int SignatureSize = 64;

    QByteArray keyId;
    QByteArray digest;
    QByteArray signature;

    // What the signature covers: the record up to the signature.
    QByteArray signedPart() const;
    QByteArray bytes() const;

    // The record that `bytes` holds exactly; nothing otherwise, with the
    // reason in `problem`.
    static std::optional<SignatureRecord> parse(const QByteArray& bytes, QString* problem);
};

// A key id as people see it: 16 lower-case hex digits.
QString keyIdText(const QByteArray& keyId);

} // namespace Package
} // namespace Upgrade
