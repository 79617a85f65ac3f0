#include "signingkey.h"

#include "upgrade/signaturerecord.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace Upgrade {

namespace {

// A PEM private key is about 120 bytes; anything near this is not one.
constexpr qint64 MaxKeyFile = 16 * 1024;

} // namespace

SigningKey SigningKey::fromFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read '%1': %2").arg(path, file.errorString());
        return SigningKey();
    }
    const QByteArray pem = file.read(MaxKeyFile);
    BIO* bio = BIO_new_mem_buf(pem.constData(), pem.size());
    EVP_PKEY* parsed = bio ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    ERR_clear_error();
    if (!parsed || EVP_PKEY_get_base_id(parsed) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(parsed);
        *error = QStringLiteral("'%1' is not an Ed25519 private key in PEM form").arg(path);
        return SigningKey();
    }
    return fromKey(parsed);
}

SigningKey SigningKey::generate()
{
    return fromKey(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
}

SigningKey SigningKey::fromKey(EVP_PKEY* taken)
{
    SigningKey result;
    unsigned char raw[32];
    size_t size = sizeof raw;
    if (!taken || EVP_PKEY_get_raw_public_key(taken, raw, &size) != 1) {
        EVP_PKEY_free(taken);
        return result;
    }
    result.key.reset(taken, EVP_PKEY_free);
    result.publicHalf
        = Package::PublicKey::fromKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw, size));
    return result;
}

QByteArray SigningKey::sign(const QByteArray& message, QString* error) const
{
    QByteArray signature(Package::SignatureRecord::SignatureSize, '\0');
    size_t size = static_cast<size_t>(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    // Ed25519 signs the message itself: no digest is named.
    const bool ok = key && context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                          reinterpret_cast<const unsigned char*>(message.constData()),
                          static_cast<size_t>(message.size()))
            == 1;
    EVP_MD_CTX_free(context);
    if (!ok)
        *error = QStringLiteral("OpenSSL could not sign");
    return ok ? signature : QByteArray();
}

} // namespace Upgrade
