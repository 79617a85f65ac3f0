#include "testing/logcapture.h"
#include "packagewriter.h"
#include "upgrade/packagecheck.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

using Upgrade::Package::VerifyOptions;
using Upgrade::Package::VerifyResult;

// Bytes and read calls the calling thread has made so far, as the kernel
// counts them; hints do not count, reads do. The thread's own counters leave
// out the shell that drops the page cache. They include the read of the
// counters themselves, which the result leaves out.
struct ReadCounters
{
    long long bytes = -1;
    long long calls = -1;
    long long ownBytes = 0; // of the read of the counters
    long long ownCalls = 0;
};

ReadCounters readCounters()
{
    ReadCounters counters;
    const int fd = open("/proc/thread-self/io", O_RDONLY);
    if (fd < 0)
        return counters;
    char text[4096];
    size_t length = 0;
    long long calls = 0;
    ssize_t n;
    while ((n = read(fd, text + length, sizeof text - 1 - length)) > 0) {
        length += size_t(n);
        ++calls;
    }
    ++calls;
    close(fd);
    text[length] = '\0';
    long long rchar = -1;
    long long syscr = -1;
    if (const char* at = std::strstr(text, "rchar:"))
        rchar = std::atoll(at + 6);
    if (const char* at = std::strstr(text, "syscr:"))
        syscr = std::atoll(at + 6);
    if (rchar < 0 || syscr < 0)
        return counters;
    // The values were taken before this read's own bytes and calls counted.
    counters.bytes = rchar;
    counters.calls = syscr;
    counters.ownBytes = (long long)length;
    counters.ownCalls = calls;
    return counters;
}

QByteArray imageData(int size, int seed)
{
    QByteArray data(size, '\0');
    quint32 state = 2166136261u ^ quint32(seed);
    for (int i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = char(state >> 24);
    }
    return data;
}

struct Walk
{
    VerifyResult result;
    std::vector<testing_support::LogLine> log;
    ReadCounters read;
};

// Small chunks keep the test quick; each hint still spans several pieces.
constexpr int Chunk = 512 * 1024;

Walk walk(const QString& path, bool readAhead)
{
    VerifyOptions options;
    // Always: the test folder may sit on a disk whose own read-ahead would
    // otherwise leave the hints out.
    options.readAhead = readAhead ? VerifyOptions::ReadAhead::Always : VerifyOptions::ReadAhead::Off;
    options.chunkSize = Chunk;
    options.logFile = "upgradeviewmodel.cpp";
    options.logLine = 1;
    options.logFunction = "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)";
    Walk w;
    testing_support::LogCapture capture;
    const ReadCounters before = readCounters();
    w.result = Upgrade::Package::verify(path, options);
    const ReadCounters after = readCounters();
    if (before.bytes >= 0 && after.bytes >= 0)
        w.read = {after.bytes - before.bytes - before.ownBytes, after.calls - before.calls - before.ownCalls};
    w.log = capture.lines();
    return w;
}

class ReadAheadTest : public ::testing::Test
{
protected:
    QString write(const Upgrade::PackageContents& contents)
    {
        const QString path = dir.filePath(QStringLiteral("pkg.bin"));
        Upgrade::PackageWriter writer;
        EXPECT_TRUE(writer.write(contents, path)) << writer.errorString().toStdString();
        return path;
    }

    static Upgrade::PackageContents package(const std::vector<int>& sizes)
    {
        Upgrade::PackageContents contents;
        contents.header = Upgrade::PackageWriter::headerJson({});
        int seed = 0;
        for (int size : sizes) {
            Upgrade::PackageImage image;
            image.data = imageData(size, ++seed);
            contents.images.push_back(image);
        }
        return contents;
    }

    // Both walks must agree on everything a caller or the log can see, and
    // on the bytes and read calls that reach the kernel.
    static void expectSameWalk(const QString& path, VerifyResult::Outcome outcome)
    {
        const Walk plain = walk(path, false);
        const Walk hinted = walk(path, true);
        EXPECT_EQ(plain.result.outcome, outcome);
        EXPECT_EQ(hinted.result.outcome, plain.result.outcome);
        EXPECT_EQ(hinted.result.image, plain.result.image);
        EXPECT_EQ(hinted.result.chunks, plain.result.chunks);
        EXPECT_EQ(hinted.result.expected, plain.result.expected);
        EXPECT_EQ(hinted.result.computed, plain.result.computed);
        EXPECT_EQ(hinted.result.remaining, plain.result.remaining);
        ASSERT_EQ(hinted.log.size(), plain.log.size());
        for (size_t i = 0; i < plain.log.size(); ++i) {
            EXPECT_EQ(hinted.log[i].type, plain.log[i].type) << "line " << i;
            EXPECT_EQ(hinted.log[i].message, plain.log[i].message) << "line " << i;
            EXPECT_EQ(hinted.log[i].function, plain.log[i].function) << "line " << i;
        }
        if (plain.read.bytes >= 0) {
            EXPECT_EQ(hinted.read.bytes, plain.read.bytes);
            EXPECT_EQ(hinted.read.calls, plain.read.calls);
        }
    }

    QTemporaryDir dir;
};

// Twelve chunks and a page-cache drop, which comes before the chunk's hint;
// a second image follows with a short last chunk.
TEST_F(ReadAheadTest, SameReadsLogAndOutcomeAcrossADrop)
{
    const QString path = write(package({12 * Chunk, 2 * Chunk + 3}));
    expectSameWalk(path, VerifyResult::Verified);
    const Walk hinted = walk(path, true);
    EXPECT_EQ(hinted.result.chunks, 12 + 3);
    int drops = 0;
    for (const auto& line : hinted.log)
        drops += line.message.contains(QLatin1String("sync command"), Qt::CaseInsensitive) ? 1 : 0;
    EXPECT_EQ(drops, 1);
}

TEST_F(ReadAheadTest, SameFailureForAChangedByteInTheSecondImage)
{
    Upgrade::PackageContents contents = package({Chunk + 100, 3 * Chunk});
    QByteArray& data = contents.images[1].data;
    contents.images[1].subHeader = Upgrade::PackageWriter::subHeaderJson(Upgrade::PackageWriter::md5Hex(data));
    data[Chunk + Chunk / 2] = char(data[Chunk + Chunk / 2] ^ 0x01);
    expectSameWalk(write(contents), VerifyResult::DigestMismatch);
}

// Hints reach past the end of a short file; the walk still ends where the
// data does.
TEST_F(ReadAheadTest, SameFailureForATruncatedImage)
{
    const QString path = write(package({3 * Chunk - 5}));
    QFile file(path);
    ASSERT_TRUE(file.resize(file.size() - Chunk - 7));
    expectSameWalk(path, VerifyResult::DigestMismatch);
}

TEST_F(ReadAheadTest, ZeroLengthImageNeedsNoHint)
{
    expectSameWalk(write(package({0, Chunk})), VerifyResult::Verified);
}

} // namespace
