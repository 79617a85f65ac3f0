#include "upgrade/signaturerecord.h"

#include <QtEndian>

namespace Upgrade {
namespace Package {

namespace {

const char Magic[] = "Vsig";
// Magic, length, version and algorithm: enough to judge the rest.
constexpr int HeadSize = 12;
constexpr quint16 FormatVersion = 1;
constexpr quint16 Ed25519 = 1;

QByteArray littleEndian(quint32 value, int size)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes.left(size);
}

std::optional<SignatureRecord> rejected(QString* problem, const QString& why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

} // namespace

QByteArray SignatureRecord::signedPart() const
{
    return QByteArray(Magic) + littleEndian(Length, 4) + littleEndian(FormatVersion, 2)
        + littleEndian(Ed25519, 2) + keyId + digest;
}

QByteArray SignatureRecord::bytes() const
{
    return signedPart() + signature;
}

std::optional<SignatureRecord> SignatureRecord::parse(const QByteArray& bytes, QString* problem)
{
    if (bytes.size() < HeadSize)
        return rejected(problem, QStringLiteral("truncated to %1 bytes").arg(bytes.size()));
    if (!bytes.startsWith(Magic))
        return rejected(problem, QStringLiteral("no record magic"));
    const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + 4);
    if (length < HeadSize || length > MaxLength)
        return rejected(problem, QStringLiteral("length field %1 out of bounds").arg(length));
    if (quint32(bytes.size()) < length)
        return rejected(problem, QStringLiteral("truncated to %1 of %2 bytes").arg(bytes.size()).arg(length));
    if (quint32(bytes.size()) > length)
        return rejected(problem, QStringLiteral("bytes after the record"));
    const quint16 version = qFromLittleEndian<quint16>(bytes.constData() + 8);
    const quint16 algorithm = qFromLittleEndian<quint16>(bytes.constData() + 10);
    if (version != FormatVersion)
        return rejected(problem, QStringLiteral("format version %1 unknown").arg(version));
    if (algorithm != Ed25519)
        return rejected(problem, QStringLiteral("algorithm %1 unknown").arg(algorithm));
    if (length != Length)
        return rejected(problem, QStringLiteral("length %1 for a version 1 record").arg(length));
    SignatureRecord record;
    record.keyId = bytes.mid(HeadSize, KeyIdSize);
    record.digest = bytes.mid(HeadSize + KeyIdSize, DigestSize);
    record.signature = bytes.mid(HeadSize + KeyIdSize + DigestSize, SignatureSize);
    return record;
}

QString keyIdText(const QByteArray& keyId)
{
    return QString::fromLatin1(keyId.toHex());
}

} // namespace Package
} // namespace Upgrade
