#include "upgrade/publickey.h"

#include "upgrade/signaturerecord.h"

#include <QFile>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace Upgrade {
namespace Package {

namespace {

// A PEM public key is about 110 bytes; anything near this is not one.
constexpr qint64 MaxKeyFile = 16 * 1024;

PublicKey failed(QString* error, const QString& why)
{
    // Leaves no stale entry in the host thread's OpenSSL error queue.
    ERR_clear_error();
    if (error)
        *error = why;
    return PublicKey();
}

} // namespace

PublicKey PublicKey::fromPem(const QByteArray& pem, QString* error)
{
    BIO* bio = BIO_new_mem_buf(pem.constData(), pem.size());
    EVP_PKEY* parsed = bio ? PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    if (!parsed)
        return failed(error, QStringLiteral("not a PEM public key"));
    if (EVP_PKEY_get_base_id(parsed) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(parsed);
        return failed(error, QStringLiteral("not an Ed25519 key"));
    }
    return fromKey(parsed);
}

PublicKey PublicKey::fromFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(error, QStringLiteral("cannot read: %1").arg(file.errorString()));
    const QByteArray pem = file.read(MaxKeyFile + 1);
    if (pem.size() > MaxKeyFile)
        return failed(error, QStringLiteral("larger than a key file"));
    return fromPem(pem, error);
}

PublicKey PublicKey::fromKey(EVP_PKEY* taken)
{
    PublicKey result;
    if (!taken)
        return result;
    result.key.reset(taken, EVP_PKEY_free);
    QByteArray raw(32, '\0');
    size_t size = static_cast<size_t>(raw.size());
    if (EVP_PKEY_get_raw_public_key(taken, reinterpret_cast<unsigned char*>(raw.data()), &size) != 1
        || size != 32)
        return failed(nullptr, QString());
    result.keyId = idOf(raw);
    return result;
}

QByteArray PublicKey::idOf(const QByteArray& rawKey)
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    if (EVP_Digest(rawKey.constData(), static_cast<size_t>(rawKey.size()),
                   reinterpret_cast<unsigned char*>(digest.data()), &size, EVP_sha256(), nullptr)
        != 1)
        return QByteArray();
    return digest.left(SignatureRecord::KeyIdSize);
}

QByteArray PublicKey::pem() const
{
    BIO* bio = BIO_new(BIO_s_mem());
    QByteArray text;
    if (bio && key && PEM_write_bio_PUBKEY(bio, key.get()) == 1) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        text = QByteArray(data, static_cast<int>(size));
    }
    BIO_free(bio);
    return text;
}

bool PublicKey::verify(const QByteArray& message, const QByteArray& signature) const
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    // Ed25519 signs the message itself: no digest is named.
    const bool valid = key && context
        && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.constData()),
                            static_cast<size_t>(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            static_cast<size_t>(message.size()))
            == 1;
    EVP_MD_CTX_free(context);
    if (!valid)
        ERR_clear_error();
    return valid;
}

} // namespace Package
} // namespace Upgrade
