// Measures, side by side in one run:
//  - verifying a large package with the device's pauses against its floor:
//    hashing the same bytes with QCryptographicHash plus chunks x the
//    measured 10 ms sleep (target <= 1.05);
//  - the large package signed, verified with its key trusted against the
//    same without a trusted key (target <= 1.20), and against the floor of
//    MD5 and SHA-256 of the same bytes plus the pauses (target <= 1.05);
//  - peak resident memory verifying the large package against a 10 MiB one
//    (target: difference < 2 MiB), and with the key trusted against without
//    (target: within 1 MiB);
//  - `upgrade-pack verify` against `md5sum` on the same file (target <= 1.1).
// Page-cache drops stay off: as root they would empty the machine's cache and
// turn the timing into a measurement of the disk.

#include "packagewriter.h"
#include "signingkey.h"
#include "upgrade/packagecheck.h"
#include "upgrade/sha256.h"
#include "upgrade/storagepacing.h"
#include "upgrade/trustpolicy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr qint64 MiB = 1024 * 1024;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double best(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void discardLog(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// Writes `size` bytes of cheap pseudo-random data.
bool writeImage(const QString& path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::vector<quint64> block(MiB / 8);
    quint64 state = seed * 0x9e3779b97f4a7c15ull + 1;
    for (qint64 written = 0; written < size;) {
        for (quint64& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const qint64 n = std::min<qint64>(MiB, size - written);
        if (file.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
        written += n;
    }
    return true;
}

bool makePackage(const QTemporaryDir& dir, const QString& name, qint64 size, int images,
                 const Upgrade::SigningKey& key)
{
    Upgrade::PackageContents contents;
    Upgrade::PackageHeader header;
    header.mainVersion = header.dataVersion = QStringLiteral("1.0.0");
    contents.header = Upgrade::PackageWriter::headerJson(header);
    for (int i = 0; i < images; ++i) {
        Upgrade::PackageImage image;
        image.dataFile = dir.filePath(QStringLiteral("%1.image%2").arg(name).arg(i));
        // Sizes not multiples of the chunk, so every image ends on a short chunk.
        if (!writeImage(image.dataFile, size / images - 4321 * i, quint64(i + 1)))
            return false;
        contents.images.push_back(image);
    }
    Upgrade::PackageWriter writer;
    writer.setSigningKey(&key);
    const bool ok = writer.write(contents, dir.filePath(name));
    if (!ok)
        std::fprintf(stderr, "verify_bench: %s\n", qPrintable(writer.errorString()));
    for (const Upgrade::PackageImage& image : contents.images)
        QFile::remove(image.dataFile);
    return ok;
}

void warm(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray buffer(Upgrade::Package::ChunkSize, Qt::Uninitialized);
    while (file.read(buffer.data(), buffer.size()) > 0) { }
}

double measuredPause(int samples)
{
    const auto start = Clock::now();
    for (int i = 0; i < samples; ++i)
        Upgrade::Package::pauseAfterChunk();
    return seconds(Clock::now() - start) / samples;
}

// The floor's work: the same bytes through QCryptographicHash, read the same
// way; with `pause`, each chunk is followed by the 10 ms sleep, as in the walk;
// with `sha256`, each chunk goes through OpenSSL's SHA-256 too.
double hashSeconds(const QString& path, bool pause = false, bool sha256 = false)
{
    const auto start = Clock::now();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray buffer(Upgrade::Package::ChunkSize, Qt::Uninitialized);
    QCryptographicHash md5(QCryptographicHash::Md5);
    Upgrade::Package::Sha256 sha;
    qint64 n;
    while ((n = file.read(buffer.data(), buffer.size())) > 0) {
        md5.addData(buffer.constData(), static_cast<int>(n));
        if (sha256)
            sha.add(buffer.constData(), n);
        if (pause)
            Upgrade::Package::pauseAfterChunk();
    }
    md5.result();
    sha.result();
    return seconds(Clock::now() - start);
}

// Runs a program, returns its wall time and fills its peak RSS in KiB.
double spawn(const std::vector<std::string>& argv, long* maxRssKiB = nullptr, int* status = nullptr)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "verify_bench: cannot run %s\n", args[0]);
        std::exit(2);
    }
    int exitStatus = 0;
    rusage usage{};
    wait4(pid, &exitStatus, 0, &usage);
    const double elapsed = seconds(Clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    if (maxRssKiB)
        *maxRssKiB = usage.ru_maxrss;
    if (status)
        *status = exitStatus;
    return elapsed;
}

// The policy of a device that trusts the key of `publicKeyFile`, or of one
// that enforces nothing when it is empty.
Upgrade::Package::TrustPolicy trusting(const QString& publicKeyFile)
{
    return publicKeyFile.isEmpty() ? Upgrade::Package::TrustPolicy()
                                   : Upgrade::Package::TrustPolicy::fromPaths({publicKeyFile});
}

// Verifies one package, with the key of `publicKeyFile` trusted unless empty.
int rssChild(const QString& path, const QString& publicKeyFile)
{
    qInstallMessageHandler(discardLog);
    Upgrade::Package::VerifyOptions options;
    options.pauseAfterChunk = false; // memory does not depend on the pauses
    options.dropPageCache = false;
    options.trust = trusting(publicKeyFile);
    return Upgrade::Package::verify(path, options).ok() ? 0 : 1;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Benchmarks package verification."));
    parser.addHelpOption();
    const QCommandLineOption dirOption("dir", QStringLiteral("Scratch folder (default: system temp)."),
                                       "dir");
    const QCommandLineOption sizeOption("size-mib", QStringLiteral("Large package size (default 1024)."),
                                        "MiB", "1024");
    const QCommandLineOption imagesOption(
        "images", QStringLiteral("Images in the large package (default 4)."), "count", "4");
    const QCommandLineOption runsOption("runs", QStringLiteral("Repetitions (default 5)."), "count", "5");
    const QCommandLineOption childOption("rss-child", QStringLiteral("Internal: verify one package."),
                                         "path");
    const QCommandLineOption childKeyOption("rss-trust", QStringLiteral("Internal: the key it trusts."),
                                            "pem");
    parser.addOptions({dirOption, sizeOption, imagesOption, runsOption, childOption, childKeyOption});
    parser.process(app);
    if (parser.isSet(childOption))
        return rssChild(parser.value(childOption), parser.value(childKeyOption));

    const qint64 bigSize = parser.value(sizeOption).toLongLong() * MiB;
    const int images = parser.value(imagesOption).toInt();
    const int runs = std::max(1, parser.value(runsOption).toInt());
    QTemporaryDir dir(parser.isSet(dirOption) ? parser.value(dirOption) + "/verify_bench-XXXXXX"
                                              : QDir::tempPath() + "/verify_bench-XXXXXX");
    const QString big = dir.filePath("big.pkg");
    const QString small = dir.filePath("small.pkg");
    const QString publicKey = dir.filePath("maker.pub.pem");
    std::printf("building %lld MiB package of %d images and a 10 MiB one, both signed, in %s\n",
                static_cast<long long>(bigSize / MiB), images, qPrintable(dir.path()));
    const Upgrade::SigningKey key = Upgrade::SigningKey::generate();
    QFile keyFile(publicKey);
    if (!dir.isValid() || !makePackage(dir, "big.pkg", bigSize, images, key)
        || !makePackage(dir, "small.pkg", 10 * MiB, 2, key) || !keyFile.open(QIODevice::WriteOnly)
        || keyFile.write(key.publicKey().pem()) <= 0)
        return 2;
    keyFile.close();
    const Upgrade::Package::TrustPolicy keys = trusting(publicKey);
    warm(big);
    qInstallMessageHandler(discardLog);

    // Each run measures the sleep, the verification and the floor back to
    // back, so a busy machine weighs on both sides alike.
    std::vector<double> pauses, verifyTimes, walkTimes, hashTimes, floors, interleaved, packTimes, md5Times;
    std::vector<double> trustedTimes, bothHashTimes, bothFloors;
    int chunks = 0;
    for (int run = 0; run < runs; ++run) {
        pauses.push_back(measuredPause(30));
        Upgrade::Package::VerifyOptions device;
        device.dropPageCache = false;
        device.logFile = __FILE__;
        device.logFunction = "bench";
        const auto start = Clock::now();
        const Upgrade::Package::VerifyResult result = Upgrade::Package::verify(big, device);
        verifyTimes.push_back(seconds(Clock::now() - start));
        if (!result.ok())
            return std::fprintf(stderr, "verify_bench: the package did not verify\n"), 2;
        chunks = result.chunks;
        Upgrade::Package::VerifyOptions trusted = device;
        trusted.trust = keys;
        const auto trustedStart = Clock::now();
        if (!Upgrade::Package::verify(big, trusted).ok())
            return std::fprintf(stderr, "verify_bench: the signature did not verify\n"), 2;
        trustedTimes.push_back(seconds(Clock::now() - trustedStart));
        bothHashTimes.push_back(hashSeconds(big, false, true));
        bothFloors.push_back(bothHashTimes.back() + chunks * pauses.back());
        hashTimes.push_back(hashSeconds(big));
        Upgrade::Package::VerifyOptions unpaused = device;
        unpaused.pauseAfterChunk = false;
        const auto walkStart = Clock::now();
        Upgrade::Package::verify(big, unpaused);
        walkTimes.push_back(seconds(Clock::now() - walkStart));
        floors.push_back(hashTimes.back() + chunks * pauses.back());
        interleaved.push_back(hashSeconds(big, true));

        packTimes.push_back(spawn({UPGRADE_PACK, "verify", big.toStdString()}));
        md5Times.push_back(spawn({"md5sum", big.toStdString()}));
    }

    long smallRss = 0, bigRss = 0, trustedRss = 0;
    int smallStatus = 0, bigStatus = 0, trustedStatus = 0;
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    spawn({self, "--rss-child", small.toStdString()}, &smallRss, &smallStatus);
    spawn({self, "--rss-child", big.toStdString()}, &bigRss, &bigStatus);
    spawn({self, "--rss-child", big.toStdString(), "--rss-trust", publicKey.toStdString()}, &trustedRss,
          &trustedStatus);
    if (smallStatus != 0 || bigStatus != 0 || trustedStatus != 0)
        return std::fprintf(stderr, "verify_bench: a memory run did not verify\n"), 2;

    // Best of the runs on each side: the least disturbed measurement of each.
    const double ratio = best(verifyTimes) / best(floors);
    const double packRatio = best(packTimes) / best(md5Times);
    const long rssDiff = bigRss - smallRss;
    const double trustedRatio = best(trustedTimes) / best(verifyTimes);
    const double bothRatio = best(trustedTimes) / best(bothFloors);
    const long trustedRssDiff = trustedRss - bigRss;
    std::printf("runs: %d (best of each side; medians in brackets)\n", runs);
    std::printf("pause: measured %.3f ms per 10 ms sleep [%.3f]; %d chunks\n", best(pauses) * 1e3,
                median(pauses) * 1e3, chunks);
    std::printf("verify with pauses: %.3f s [%.3f], floor: hash %.3f s [%.3f] + pauses, %.3f s [%.3f]; "
                "ratio %.3f [%.3f] (target <= 1.05: %s)\n",
                best(verifyTimes), median(verifyTimes), best(hashTimes), median(hashTimes), best(floors),
                median(floors), ratio, median(verifyTimes) / median(floors), verdict(ratio <= 1.05));
    // The floor adds up hashing measured back to back and sleeps measured
    // back to back. Hashing right after a sleep starts on a processor that
    // went idle; this line shows that share of the distance.
    std::printf("the floor's hash and pauses taken in turn, chunk by chunk: %.3f s [%.3f]; "
                "verify against it: ratio %.3f [%.3f]\n",
                best(interleaved), median(interleaved), best(verifyTimes) / best(interleaved),
                median(verifyTimes) / median(interleaved));
    std::printf("walk without pauses: %.3f s [%.3f] against the hash alone: ratio %.3f\n", best(walkTimes),
                median(walkTimes), best(walkTimes) / best(hashTimes));
    std::printf("peak RSS: %ld KiB verifying %lld MiB, %ld KiB verifying 10 MiB, difference %ld KiB "
                "(target < 2048: %s)\n",
                bigRss, static_cast<long long>(bigSize / MiB), smallRss, rssDiff, verdict(rssDiff < 2048));
    std::printf("signed, key trusted: verify %.3f s [%.3f] against no key trusted %.3f s [%.3f]: ratio %.3f "
                "[%.3f] (target <= 1.20: %s)\n",
                best(trustedTimes), median(trustedTimes), best(verifyTimes), median(verifyTimes),
                trustedRatio, median(trustedTimes) / median(verifyTimes), verdict(trustedRatio <= 1.20));
    std::printf("signed, key trusted: against the floor MD5 + SHA-256 %.3f s [%.3f] + pauses, %.3f s [%.3f]: "
                "ratio %.3f [%.3f] (target <= 1.05: %s)\n",
                best(bothHashTimes), median(bothHashTimes), best(bothFloors), median(bothFloors), bothRatio,
                median(trustedTimes) / median(bothFloors), verdict(bothRatio <= 1.05));
    std::printf(
        "peak RSS verifying %lld MiB: %ld KiB with the key trusted, %ld KiB without, difference %ld KiB "
        "(target within 1024: %s)\n",
        static_cast<long long>(bigSize / MiB), trustedRss, bigRss, trustedRssDiff,
        verdict(std::labs(trustedRssDiff) <= 1024));
    std::printf(
        "upgrade-pack verify %.3f s [%.3f], md5sum %.3f s [%.3f], ratio %.3f [%.3f] (target <= 1.1: %s)\n",
        best(packTimes), median(packTimes), best(md5Times), median(md5Times), packRatio,
        median(packTimes) / median(md5Times), verdict(packRatio <= 1.1));
    const bool signedMet = trustedRatio <= 1.20 && bothRatio <= 1.05 && std::labs(trustedRssDiff) <= 1024;
    return ratio <= 1.05 && rssDiff < 2048 && packRatio <= 1.1 && signedMet ? 0 : 1;
}
