// Read-ahead hints in the verification walk change nothing a caller, the log
// or the kernel's read counters can see.

#include "packagefixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/qtprint.h"
#include "upgrade/packagecheck.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {

using Upgrade::Package::VerifyOptions;
using Upgrade::Package::VerifyResult;

// Bytes and read calls the calling thread has made so far, as the kernel
// counts them; hints do not count, reads do. The thread's own counters leave
// out the shell that drops the page cache. The read of the counters counts
// too, so its own bytes and calls come with the result.
struct ReadCounters
{
    long long bytes = -1;
    long long calls = -1;
    long long ownBytes = 0;
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
    ssize_t n;
    while ((n = read(fd, text + length, sizeof text - 1 - length)) > 0) {
        length += size_t(n);
        ++counters.ownCalls;
    }
    ++counters.ownCalls; // the read that found the end
    close(fd);
    text[length] = '\0';
    const char* rchar = std::strstr(text, "rchar:");
    const char* syscr = std::strstr(text, "syscr:");
    if (rchar && syscr) {
        // Taken before this read's own bytes and calls counted.
        counters.bytes = std::atoll(rchar + 6);
        counters.calls = std::atoll(syscr + 6);
        counters.ownBytes = (long long)length;
    }
    return counters;
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

struct WalkCase : testing_support::NamedCase
{
    PackageFixture::Recipe recipe;
    VerifyResult::Outcome outcome;
    int chunks;
    int drops;
};

class ReadAheadTest : public testing::TestWithParam<WalkCase>
{
};

// All a caller, the log or the kernel's read counters see of a walk.
auto seen(const Walk& w)
{
    std::vector<QString> lines;
    for (const testing_support::LogLine& line : w.log)
        lines.push_back(QStringLiteral("%1 %2: %3").arg(line.type).arg(line.function, line.message));
    const VerifyResult& r = w.result;
    return std::make_tuple(r.outcome, r.image, r.chunks, r.expected, r.computed, r.remaining, lines,
                           w.read.bytes, w.read.calls);
}

TEST_P(ReadAheadTest, SameReadsLogAndOutcomeAsThePlainWalk)
{
    const WalkCase& c = GetParam();
    PackageFixture fixture;
    const QString path = fixture.build(c.recipe);
    const Walk plain = walk(path, false);
    const Walk hinted = walk(path, true);

    EXPECT_EQ(seen(hinted), seen(plain));
    EXPECT_EQ(plain.result.outcome, c.outcome);
    EXPECT_EQ(plain.result.chunks, c.chunks);
    const auto drops
        = std::count_if(plain.log.begin(), plain.log.end(), [](const testing_support::LogLine& line) {
              return line.message.contains(QLatin1String("sync command"), Qt::CaseInsensitive);
          });
    EXPECT_EQ(drops, c.drops);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, ReadAheadTest,
    testing::Values(
        // Twelve chunks and a page-cache drop, which comes before the chunk's
        // hint; a second image follows with a short last chunk.
        WalkCase{"AcrossADrop", {{12 * Chunk, 2 * Chunk + 3}}, VerifyResult::Verified, 15, 1},
        WalkCase{"ChangedByteInTheSecondImage",
                 {{Chunk + 100, 3 * Chunk}, PackageFixture::changeDataByte(1, Chunk + Chunk / 2)},
                 VerifyResult::DigestMismatch,
                 5,
                 0},
        // Hints reach past the end of a short file; the walk still ends where
        // the data does.
        WalkCase{"TruncatedImage",
                 {{3 * Chunk - 5}, {}, PackageFixture::truncated(Chunk + 7)},
                 VerifyResult::DigestMismatch,
                 2,
                 0},
        WalkCase{"ZeroLengthImage", {{0, Chunk}}, VerifyResult::Verified, 1, 0}),
    testing_support::caseName<WalkCase>);

} // namespace
