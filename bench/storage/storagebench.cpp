// Verification against slow storage: the device's walk with and without
// read-ahead hints, beside the two floors it cannot beat, measured side by
// side in one run with the variants interleaved.
//
//   storagebench make-package PATH [--data-mib N]
//   storagebench run PACKAGE [--repeat N] [--label TEXT] [--stats FILE] [--header]
//
// `run` needs root: every variant starts from a cold page cache, and the
// walk itself drops the cache as the device does. It prints one markdown
// table row of medians on stdout and each measurement on stderr.

#include "packagewriter.h"
#include "upgrade/layoutreader.h"
#include "upgrade/packagecheck.h"
#include "upgrade/storagepacing.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Upgrade::Package::ChunkSize;
using Hints = Upgrade::Package::VerifyOptions::ReadAhead;

constexpr qint64 MiB = 1024 * 1024;
// The hash floor cycles through this much of the image, far more than any
// CPU cache holds, so the bytes come from RAM as they would after a read.
constexpr qint64 HashRing = 64 * MiB;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool writeText(const char* path, const char* text)
{
    const int fd = open(path, O_WRONLY | O_TRUNC);
    if (fd < 0)
        return false;
    const ssize_t n = write(fd, text, std::strlen(text));
    close(fd);
    return n == ssize_t(std::strlen(text));
}

// Nothing of the package may be cached when a variant starts: not in the
// file's page cache, not in the block device's, not dirty.
void coldCache()
{
    sync();
    if (!writeText("/proc/sys/vm/drop_caches", "3")) {
        std::fprintf(stderr, "cannot drop the page cache (%s): run as root\n", std::strerror(errno));
        std::exit(1);
    }
}

// Page-cache drops on the whole machine so far. A drop by another process
// (a test suite running the real walk, say) evicts what the walk fetched
// ahead, which storage then reads twice.
long long pageCacheDrops()
{
    QFile file(QStringLiteral("/proc/vmstat"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("drop_pagecache "))
            return line.mid(15).toLongLong();
    return -1;
}

// Where the package sits on a throttlefs device: bytes the device served.
class DeviceStats
{
public:
    explicit DeviceStats(QString path)
        : statsPath(std::move(path))
    {
    }

    void reset() const
    {
        if (!statsPath.isEmpty())
            writeText(QFile::encodeName(statsPath).constData(), "0");
    }

    // Bytes and requests served since the last reset; -1 where not known.
    std::pair<qint64, qint64> served() const
    {
        QFile file(statsPath);
        if (statsPath.isEmpty() || !file.open(QIODevice::ReadOnly))
            return {-1, -1};
        const QList<QByteArray> words = file.readAll().simplified().split(' ');
        return words.size() >= 4 ? std::make_pair(words[1].toLongLong(), words[3].toLongLong())
                                 : std::make_pair(qint64(-1), qint64(-1));
    }

private:
    QString statsPath;
};

// The data of the package's first image: where it starts and its length.
struct ImageSpan
{
    qint64 offset = 0;
    qint64 length = 0;
};

bool firstImage(const QString& path, ImageSpan& span)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Upgrade::Package::LayoutReader reader(file);
    if (!Upgrade::Package::isMagic(reader.readMagic()))
        return false;
    const CheckPacket packet = reader.readHead().packet;
    if (packet.systemImages.empty())
        return false;
    const Upgrade::Package::ImageRecord image = reader.readImage(packet.systemImages.front());
    if (!Upgrade::Package::isMagic(image.magic))
        return false;
    span.offset = image.dataOffset();
    span.length = image.end() - image.dataOffset();
    return span.length >= 0;
}

// The device's walk: pauses, page-cache drops, and hints or none.
double walk(const QString& path, Hints readAhead, Upgrade::Package::VerifyResult& result)
{
    Upgrade::Package::VerifyOptions options;
    options.pauseAfterChunk = true;
    options.dropPageCache = true;
    options.readAhead = readAhead;
    const Clock::time_point start = Clock::now();
    result = Upgrade::Package::verify(path, options);
    const double seconds = secondsSince(start);
    if (!result.ok()) {
        std::fprintf(stderr, "%s: verification failed (outcome %d)\n", qPrintable(path), int(result.outcome));
        std::exit(1);
    }
    return seconds;
}

// What storage alone needs: the whole file read with O_DIRECT at full speed,
// as `dd iflag=direct bs=5M` would.
double storageFloor(const QString& path)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT);
    if (fd < 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), std::strerror(errno));
        std::exit(1);
    }
    void* buffer = nullptr;
    if (posix_memalign(&buffer, 4096, ChunkSize) != 0)
        std::exit(1);
    const Clock::time_point start = Clock::now();
    ssize_t n;
    while ((n = read(fd, buffer, ChunkSize)) > 0) { }
    const double seconds = secondsSince(start);
    if (n < 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), std::strerror(errno));
        std::exit(1);
    }
    std::free(buffer);
    close(fd);
    return seconds;
}

// What the processor alone needs: the walk's digest and buffer clearing over
// the same chunk sizes, from bytes already in RAM.
double hashTime(const QByteArray& ring, qint64 length)
{
    QByteArray buffer(ChunkSize, '\0');
    QCryptographicHash md5(QCryptographicHash::Md5);
    const Clock::time_point start = Clock::now();
    qint64 offset = 0;
    for (qint64 left = length; left > 0;) {
        const int chunk = int(std::min<qint64>(left, ChunkSize));
        const qint64 at = offset % (ring.size() - ChunkSize + 1);
        md5.addData(ring.constData() + at, chunk);
        std::memset(buffer.data(), 0, size_t(chunk));
        left -= chunk;
        offset += chunk;
    }
    const QByteArray digest = md5.result();
    const double seconds = secondsSince(start);
    if (digest.isEmpty())
        std::exit(1);
    return seconds;
}

// One pause of the walk as this machine's scheduler really gives it.
double pauseTime()
{
    constexpr int Samples = 20;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < Samples; ++i)
        Upgrade::Package::pauseAfterChunk();
    return secondsSince(start) / Samples;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int makePackage(const QStringList& args)
{
    if (args.isEmpty())
        return 2;
    const QString path = args.front();
    qint64 dataMiB = 1024;
    const int at = args.indexOf(QStringLiteral("--data-mib"));
    if (at >= 0 && at + 1 < args.size())
        dataMiB = args[at + 1].toLongLong();
    if (dataMiB <= 0 || dataMiB > 2047)
        return 2;

    // Incompressible data, like a real firmware image.
    Upgrade::PackageImage image;
    image.data.resize(int(dataMiB * MiB));
    quint64 state = 0x9e3779b97f4a7c15ull;
    auto* words = reinterpret_cast<quint64*>(image.data.data());
    for (qint64 i = 0; i < dataMiB * MiB / 8; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        words[i] = state;
    }
    Upgrade::PackageContents contents;
    contents.header = Upgrade::PackageWriter::headerJson({});
    contents.images.push_back(std::move(image));
    Upgrade::PackageWriter writer;
    if (!writer.write(contents, path)) {
        std::fprintf(stderr, "%s\n", qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}

int run(const QStringList& args)
{
    if (args.isEmpty())
        return 2;
    const QString path = args.front();
    int repeat = 3;
    QString label = path;
    QString statsPath;
    bool header = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = args[++i].toInt();
        else if (args[i] == QLatin1String("--label") && i + 1 < args.size())
            label = args[++i];
        else if (args[i] == QLatin1String("--stats") && i + 1 < args.size())
            statsPath = args[++i];
        else if (args[i] == QLatin1String("--header"))
            header = true;
        else
            return 2;
    }
    if (repeat < 1)
        return 2;

    ImageSpan span;
    if (!firstImage(path, span)) {
        std::fprintf(stderr, "%s: not a single-image package\n", qPrintable(path));
        return 1;
    }
    QByteArray ring;
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        file.seek(span.offset);
        ring = file.read(std::max<qint64>(std::min(span.length, HashRing), ChunkSize));
        ring.resize(std::max(ring.size(), int(ChunkSize)));
    }
    const DeviceStats stats(statsPath);

    struct Variant
    {
        const char* name;
        std::function<double()> measure;
        std::vector<double> seconds;
        bool walks;
        std::pair<qint64, qint64> served{-1, -1};
        qint64 mostServed = -1; // over the rounds no other process disturbed
    };
    Upgrade::Package::VerifyResult lastWalk;
    std::vector<Variant> variants = {
        {"plain loop", [&] { return walk(path, Hints::Off, lastWalk); }, {}, true},
        {"read-ahead loop", [&] { return walk(path, Hints::On, lastWalk); }, {}, true},
        {"storage floor", [&] { return storageFloor(path); }, {}, false},
        {"hash + pause floor", [&] { return hashTime(ring, span.length) + lastWalk.chunks * pauseTime(); }, {},
         false},
    };
    // The hash floor counts the walk's chunks, so a walk comes first.
    for (int r = 0; r < repeat; ++r) {
        for (size_t v = 0; v < variants.size(); ++v) {
            // Rotate the walks and the storage floor from round to round so
            // that none always follows the same neighbour.
            Variant& variant = variants[v < 3 ? (v + size_t(r)) % 3 : v];
            coldCache();
            stats.reset();
            const long long dropsBefore = pageCacheDrops();
            const double seconds = variant.measure();
            const long long foreignDrops
                = pageCacheDrops() - dropsBefore - (variant.walks ? lastWalk.drops : 0);
            variant.seconds.push_back(seconds);
            variant.served = stats.served();
            if (foreignDrops == 0)
                variant.mostServed = std::max(variant.mostServed, variant.served.first);
            std::fprintf(stderr, "%s round %d: %-18s %7.2f s", qPrintable(label), r + 1, variant.name,
                         seconds);
            if (variant.served.first >= 0)
                std::fprintf(stderr, "  (device read %.2f MiB in %lld requests)",
                             double(variant.served.first) / double(MiB), variant.served.second);
            if (foreignDrops > 0)
                std::fprintf(stderr, "  (%lld page-cache drops by other processes)", foreignDrops);
            std::fprintf(stderr, "\n");
        }
    }

    const double plain = median(variants[0].seconds);
    const double hinted = median(variants[1].seconds);
    const double storage = median(variants[2].seconds);
    const double hashPause = median(variants[3].seconds);
    const double bound = std::max(storage, hashPause);
    // What the device served the read-ahead loop beyond the package's pages,
    // in the undisturbed round that read most.
    char extra[32] = "–";
    if (variants[1].served.first >= 0 && variants[1].mostServed < 0)
        std::snprintf(extra, sizeof extra, "every round disturbed");
    if (variants[1].mostServed >= 0) {
        const qint64 pages = (QFileInfo(path).size() + 4095) / 4096 * 4096;
        std::snprintf(extra, sizeof extra, "%+lld KiB", (long long)(variants[1].mostServed - pages) / 1024);
    }
    if (header) {
        std::printf(
            "| storage | plain loop | read-ahead loop | storage floor | hash + pause floor "
            "| read-ahead / max(floors) | read-ahead / plain | read-ahead reads beyond the package |\n");
        std::printf("|---|---|---|---|---|---|---|---|\n");
    }
    std::printf("| %s | %.2f s | %.2f s | %.2f s | %.2f s | %.3f | %.3f | %s |\n", qPrintable(label), plain,
                hinted, storage, hashPause, hinted / bound, hinted / plain, extra);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    int status = 2;
    if (command == QLatin1String("make-package"))
        status = makePackage(args);
    else if (command == QLatin1String("run"))
        status = run(args);
    if (status == 2)
        std::fprintf(stderr,
                     "usage: storagebench make-package PATH [--data-mib N]\n"
                     "       storagebench run PACKAGE [--repeat N] [--label TEXT] [--stats FILE] [--header]\n");
    return status;
}
