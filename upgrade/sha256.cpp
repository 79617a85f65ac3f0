#include "upgrade/sha256.h"

#include <openssl/evp.h>

namespace Upgrade {
namespace Package {

Sha256::Sha256()
    : context(EVP_MD_CTX_new())
    , ok(context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1)
{
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context);
}

void Sha256::add(const char* data, qint64 size)
{
    if (ok && size > 0)
        ok = EVP_DigestUpdate(context, data, static_cast<size_t>(size)) == 1;
}

QByteArray Sha256::result()
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    if (!ok || EVP_DigestFinal_ex(context, reinterpret_cast<unsigned char*>(digest.data()), &size) != 1)
        return QByteArray();
    ok = false; // finished: a second result would be another digest
    digest.resize(static_cast<int>(size));
    return digest;
}

} // namespace Package
} // namespace Upgrade
