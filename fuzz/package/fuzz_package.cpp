// Feeds arbitrary bytes, as a package file, to the header reader and to the
// verifier (with its log lines formatted, without pauses or cache drops).

#include "upgrade/packagecheck.h"
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
    }
    ~Harness() { QFile::remove(path); }

    QString path;
    Upgrade::UpgradeViewModel model;
    Upgrade::Package::VerifyOptions options;
};

} // namespace

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
