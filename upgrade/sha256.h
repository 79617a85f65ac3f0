#pragma once

#include <QByteArray>

#include <openssl/types.h>

namespace Upgrade {
namespace Package {

// A running SHA-256 through OpenSSL, for the bytes of a package that a
// signature covers.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, qint64 size);
    // The 32-byte digest; empty when OpenSSL failed, which no record matches.
    QByteArray result();

private:
    EVP_MD_CTX* context;
    bool ok;
};

} // namespace Package
} // namespace Upgrade
