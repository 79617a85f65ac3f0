// Feeds arbitrary bytes, as a package file, to the header reader and to the
// verifier (with its log lines formatted, without pauses or cache drops),
// which trusts one key, so the signature record after the images is read,
// parsed and checked too. The corpus's signed seeds carry that key's record.

#include "upgrade/packagecheck.h"
#include "upgrade/publickey.h"
#include "upgrade/trustedkeys.h"
#include "upgrade/trustfolder.h"
#include "upgrade/upgradeviewmodel.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void discard(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// The key of the signed seeds: Ed25519 from the seed of 32 bytes 0x66.
const char FuzzKey[] = "-----BEGIN PUBLIC KEY-----\n"
                       "MCowBQYDK2VwAyEANLTZBDFWy23PC+sKKUm3VZyUDSvLbb6MU6mzAnjjp0Y=\n"
                       "-----END PUBLIC KEY-----\n";

// One scratch file and one component for the whole run.
struct Harness
{
    Harness()
    {
        qInstallMessageHandler(discard);
        char pattern[] = "/tmp/fuzz_package_XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0)
            std::abort();
        close(fd);
        path = QString::fromLocal8Bit(pattern);
        options.pauseAfterChunk = false;
        options.dropPageCache = false;
        options.chunkSize = 16;
        options.logFile = __FILE__;
        options.logLine = __LINE__;
        options.logFunction = "fuzz_package";
        keys.add(Upgrade::Package::PublicKey::fromPem(FuzzKey, nullptr));
        options.trustedKeys = &keys;
    }
    ~Harness() { QFile::remove(path); }

    QString path;
    Upgrade::UpgradeViewModel model;
    Upgrade::Package::TrustedKeys keys;
    Upgrade::Package::VerifyOptions options;
};

} // namespace

// The view model here only reads headers; its trust folder stays unread.
QString Upgrade::trustFolder()
{
    return QString();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness harness;
    {
        QFile file(harness.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    harness.model.getUpgradeInfo(harness.path);
    Upgrade::Package::verify(harness.path, harness.options);
    return 0;
}
