// Read-ahead hints in the verification walk change nothing a caller or the
// log can see, and stay within one chunk ahead and clear of the drops.

#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "testing/qtprint.h"
#include "upgrade/packagecheck.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>

namespace {

using Upgrade::Package::VerifyOptions;
using Upgrade::Package::VerifyResult;

// The walk's hints and page-cache drops in order, each with the file's read
// position at that moment. The test links with the core library's calls to
// posix_fadvise and system routed here, so no drop reaches the machine.
struct Event
{
    bool drop;
    qint64 offset;
    qint64 length;
    qint64 position;
};
std::vector<Event>* recorded = nullptr;
int walkFd = -1;

} // namespace

extern "C" int __real_posix_fadvise(int fd, off_t offset, off_t length, int advice);

extern "C" int __wrap_posix_fadvise(int fd, off_t offset, off_t length, int advice)
{
    if (recorded && advice == POSIX_FADV_WILLNEED) {
        walkFd = fd;
        recorded->push_back({false, offset, length, lseek(fd, 0, SEEK_CUR)});
    }
    return __real_posix_fadvise(fd, offset, length, advice);
}

extern "C" int __wrap_system(const char*)
{
    if (recorded)
        recorded->push_back({true, 0, 0, walkFd >= 0 ? lseek(walkFd, 0, SEEK_CUR) : -1});
    return 0;
}

namespace {

struct Walk
{
    std::vector<Event> events;
    VerifyResult result;
    std::vector<testing_support::LogLine> log;
};

// Small chunks keep the test quick; each still spans two pieces or more.
constexpr int Chunk = 2 * 1024 * 1024;

Walk walk(const QString& path, bool readAhead)
{
    VerifyOptions options;
    options.readAhead = readAhead ? VerifyOptions::ReadAhead::On : VerifyOptions::ReadAhead::Off;
    options.chunkSize = Chunk;
    options.logFile = "upgradeviewmodel.cpp";
    options.logLine = 1;
    options.logFunction = "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)";
    Walk w;
    testing_support::LogCapture capture;
    walkFd = -1;
    recorded = &w.events;
    w.result = Upgrade::Package::verify(path, options);
    recorded = nullptr;
    w.log = capture.lines();
    return w;
}

struct WalkCase : testing_support::NamedCase
{
    PackageFixture::Recipe recipe;
    VerifyResult::Outcome outcome;
    int chunks;
    int drops;
    qint64 hinted; // bytes of the file hinted: each image's data after its first chunk
    // Hints queued before a read, past the chunk it waits for: one before
    // each read but an image's first and last and one that a drop follows.
    int bridges;
};

class ReadAheadTest : public testing::TestWithParam<WalkCase>
{
};

// All a caller or the log sees of a walk.
auto seen(const Walk& w)
{
    std::vector<QString> lines;
    for (const testing_support::LogLine& line : w.log)
        lines.push_back(QStringLiteral("%1 %2: %3").arg(line.type).arg(line.function, line.message));
    const VerifyResult& r = w.result;
    return std::make_tuple(r.outcome, r.image, r.chunks, r.expected, r.computed, r.remaining, lines);
}

// Bytes of [0, size) that the hints cover, each byte counted once.
qint64 coveredBytes(const std::vector<Event>& events, qint64 size)
{
    std::vector<std::pair<qint64, qint64>> ranges;
    for (const Event& e : events)
        if (!e.drop)
            ranges.emplace_back(std::min(e.offset, size), std::min(e.offset + e.length, size));
    std::sort(ranges.begin(), ranges.end());
    qint64 covered = 0;
    qint64 end = 0;
    for (const auto& [from, to] : ranges) {
        covered += std::max<qint64>(0, to - std::max(from, end));
        end = std::max(end, to);
    }
    return covered;
}

TEST_P(ReadAheadTest, HintsChangeNothingAndStayOneChunkAhead)
{
    const WalkCase& c = GetParam();
    PackageFixture fixture;
    const QString path = fixture.build(c.recipe);
    const Walk plain = walk(path, false);
    const Walk hinted = walk(path, true);

    EXPECT_EQ(seen(hinted), seen(plain));
    EXPECT_EQ(plain.result.outcome, c.outcome);
    EXPECT_EQ(plain.result.chunks, c.chunks);
    EXPECT_TRUE(std::all_of(plain.events.begin(), plain.events.end(), [](const Event& e) { return e.drop; }));

    // One request of the package's device; the kernel cuts larger hints short.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qint64 Piece = Upgrade::Package::ReadAhead(file, VerifyOptions::ReadAhead::On).piece();
    ASSERT_TRUE(Piece >= 128 * 1024 && Piece <= 1024 * 1024) << Piece;
    const qint64 Page = getpagesize();
    qint64 hintedEnd = 0;
    int bridges = 0;
    int drops = 0;
    for (const Event& e : hinted.events) {
        if (e.drop) {
            // Whatever storage fetched ahead would be evicted and read twice.
            EXPECT_LE(hintedEnd, e.position);
            ++drops;
            continue;
        }
        // Whole pages count: one more would be cut off.
        EXPECT_LE((e.offset + e.length - 1) / Page - e.offset / Page + 1, Piece / Page);
        EXPECT_GE(e.offset, e.position) << "hints bytes already read";
        // The buffer, plus one chunk and one piece of page cache at most.
        EXPECT_LE(e.offset + e.length, e.position + Chunk + Piece);
        hintedEnd = std::max(hintedEnd, e.offset + e.length);
        bridges += e.offset >= e.position + Chunk;
    }
    EXPECT_EQ(bridges, c.bridges);
    EXPECT_EQ(drops, c.drops);
    EXPECT_EQ(coveredBytes(hinted.events, QFileInfo(path).size()), c.hinted);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Packages, ReadAheadTest,
    testing::Values(
        // Twelve chunks and a page-cache drop, which comes before the chunk's
        // hint; a second image follows with a short last chunk.
        WalkCase{"AcrossADrop", {{12 * Chunk, 2 * Chunk + 3}}, VerifyResult::Verified, 15, 1, 12 * Chunk + 3, 10},
        // Hints reach past the end of a short file; the walk still ends where
        // the data does.
        WalkCase{"TruncatedImage",
                 {{3 * Chunk - 5}, {}, PackageFixture::truncated(Chunk + 7)},
                 VerifyResult::DigestMismatch,
                 2,
                 0,
                 Chunk - 12,
                 2}),
    testing_support::caseName<WalkCase>);
// clang-format on

} // namespace
