// Feeds arbitrary bytes, as a package file, to the header reader and to the
// verifier (with its log lines formatted, without pauses or cache drops) as
// the plug-in that enforces signatures runs it: its trust policy comes from a
// folder holding one key, so the signature record after the images is read,
// parsed and checked, and the file's identity taken and compared. The
// corpus's signed seeds carry that key's record.
// An input may end in a storage fault: its offset (4 bytes, little-endian), a
// kind byte and "FLT". The file is then read again under that fault and the
// two walks must agree as failing storage allows.

#include "standin/storage/faultystorage.h"
#include "upgrade/layoutreader.h"
#include "upgrade/packagecheck.h"
#include "upgrade/publickey.h"
#include "upgrade/trustpolicy.h"
#include "upgrade/upgradeviewmodel.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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
        char folderPattern[] = "/tmp/fuzz_trust_XXXXXX";
        if (!mkdtemp(folderPattern))
            std::abort();
        folder = QString::fromLocal8Bit(folderPattern);
        QFile key(folder + QStringLiteral("/fuzz.pem"));
        if (!key.open(QIODevice::WriteOnly) || key.write(FuzzKey) <= 0)
            std::abort();
        key.close();
        options.trust = Upgrade::Package::TrustPolicy::fromFolder(folder);
        if (options.trust.mode() != Upgrade::Package::TrustPolicy::Enforcing)
            std::abort();
        options.pauseAfterChunk = false;
        options.dropPageCache = false;
        options.chunkSize = 16;
        options.logFile = __FILE__;
        options.logLine = __LINE__;
        options.logFunction = "fuzz_package";
    }
    ~Harness()
    {
        QFile::remove(path);
        QFile::remove(folder + QStringLiteral("/fuzz.pem"));
        rmdir(QFile::encodeName(folder).constData());
    }

    QString path;
    QString folder;
    Upgrade::UpgradeViewModel model;
    Upgrade::Package::VerifyOptions options;
};

using Standin::FaultyStorage;
using Upgrade::Package::VerifyResult;

constexpr size_t TrailerSize = 8;

// The fault an input's trailer asks for, which it strips; offset -1: none.
FaultyStorage::Fault takeFault(const uint8_t* data, size_t& size)
{
    FaultyStorage::Fault fault;
    if (size < TrailerSize || std::memcmp(data + size - 3, "FLT", 3) != 0)
        return fault;
    size -= TrailerSize;
    fault.offset = qFromLittleEndian<quint32>(data + size);
    switch (data[size + 4] % 4) {
    case 0:
        fault.error = EIO;
        break;
    case 1:
        fault.error = ENXIO;
        break;
    case 2:
        fault.cut = true;
        break;
    default: // only short reads, from the fault's byte on
        fault.readLimit = 1 + fault.offset % 7;
        fault.offset = -1;
        break;
    }
    return fault;
}

// Where the check block ends, as far as the file goes: every byte before it
// is read before any image.
qint64 checkBlockEnd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    Upgrade::Package::LayoutReader reader(file);
    reader.readMagic();
    const Upgrade::Package::Field block = reader.readHead().raw;
    return qMin(file.size(), block.at + block.length);
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// What failing storage may and may not change against the clean walk.
void compare(const FaultyStorage::Fault& fault, const VerifyResult& clean, const VerifyResult& faulty,
             qint64 checkEnd)
{
    if (fault.readLimit > 0) {
        check(faulty.outcome == clean.outcome && faulty.computed == clean.computed
              && faulty.remaining == clean.remaining && faulty.readErrorAt < 0
              && faulty.signature.status == clean.signature.status);
        return;
    }
    if (fault.cut) {
        check(faulty.readErrorAt < 0);
        return;
    }
    // Reads are sequential, so the first one to fail starts at the fault.
    check(faulty.readErrorAt < 0 || faulty.readErrorAt == fault.offset);
    if (fault.offset < checkEnd)
        check(!faulty.ok());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness harness;
    const FaultyStorage::Fault fault = takeFault(data, size);
    {
        QFile file(harness.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const VerifyResult clean = Upgrade::Package::verify(harness.path, harness.options);
    // The file was left alone: its identity holds from open to end.
    check(clean.outcome != VerifyResult::FileChanged);
    if (fault.offset < 0 && fault.readLimit == 0) {
        harness.model.getUpgradeInfo(harness.path);
        return 0;
    }
    FaultyStorage::arm(harness.path, fault);
    harness.model.getUpgradeInfo(harness.path);
    const VerifyResult faulty = Upgrade::Package::verify(harness.path, harness.options);
    FaultyStorage::disarm();
    compare(fault, clean, faulty, checkBlockEnd(harness.path));
    return 0;
}
