// Package verification: upgradeCheck and the walk it shares with upgrade-pack.

#include "boundedmemory.h"
#include "packagefixture.h"
#include "testing/logcapture.h"
#include "upgrade/packagecheck.h"
#include "upgrade/upgradeviewmodel.h"

#include <QDebug>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <sys/time.h>

using testing_support::LogCapture;
using testing_support::LogLine;
using Upgrade::PackageContents;
using Upgrade::PackageWriter;
using Upgrade::UpgradeViewModel;

namespace {

const char UpgradeCheckSignature[] = "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)";
constexpr int MiB = 1024 * 1024;
constexpr int Chunk = Upgrade::Package::ChunkSize;

// The message Qt's debug stream makes of the given items, blank-separated.
template <typename... Items>
QString debugText(const Items&... items)
{
    QString text;
    {
        QDebug stream(&text);
        (void)std::initializer_list<int>{((stream << items), 0)...};
    }
    return text.trimmed();
}

std::vector<LogLine> chunkLines(const LogCapture& log)
{
    return log.matching(QStringLiteral("read file size:"));
}

int dropLines(const LogCapture& log)
{
    return log.count(QStringLiteral("Sync command executed successfully\n"))
        + log.count(QStringLiteral("Error executing sync command\n"));
}

// ---- outcomes over the package kinds ----------------------------------------

struct VerifyCase
{
    const char* name;
    std::function<QString(PackageFixture&)> make; // writes the package, returns its path
    bool verified;
    int headCheckFails;
    int md5CheckFails;
    int chunks;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const VerifyCase& c, std::ostream* os)
{
    *os << c.name;
}

QString writePackage(PackageFixture& f, const std::vector<int>& sizes,
                     const std::function<void(PackageContents&)>& change = {})
{
    PackageContents contents = PackageFixture::package(sizes);
    if (change)
        change(contents);
    return f.write(contents);
}

QString writeBytes(PackageFixture& f, const std::vector<int>& sizes,
                   const std::function<QByteArray(QByteArray)>& change)
{
    return f.writeBytes(change(f.bytes(PackageFixture::package(sizes))));
}

const VerifyCase verifyCases[] = {
    {"OneImage", [](PackageFixture& f) { return writePackage(f, {1000}); }, true, 0, 0, 1},
    {"SeveralImages",
     [](PackageFixture& f) {
         return writePackage(f, {1000, Chunk + 1, 300});
     },
     true, 0, 0, 4},
    {"UpperCaseDigest",
     [](PackageFixture& f) {
         return writePackage(f, {1000}, [](PackageContents& c) { PackageFixture::upperCaseDigest(c, 0); });
     },
     false, 0, 1, 1},
    {"ByteChangedInSecondImage",
     [](PackageFixture& f) {
         return writePackage(f, {1000, 2000},
                             [](PackageContents& c) { PackageFixture::changeDataByte(c, 1, 7); });
     },
     false, 0, 1, 2},
    {"WrongMagicAtFileStart",
     [](PackageFixture& f) {
         return writeBytes(f, {1000}, [](QByteArray b) { return PackageFixture::patched(b, 0, "Vesx"); });
     },
     false, 1, 0, 0},
    {"WrongMagicAtImageStart",
     [](PackageFixture& f) {
         return writePackage(f, {1000, 1000}, [](PackageContents& c) { c.images[1].magic = "VESK"; });
     },
     false, 1, 0, 1},
    {"TruncatedLastImage",
     [](PackageFixture& f) {
         return writeBytes(f, {1000, 1000}, [](QByteArray b) { return PackageFixture::truncated(b, 10); });
     },
     false, 0, 1, 2},
    {"LastImageRecordMissing",
     [](PackageFixture& f) {
         return writeBytes(f, {1000, 1000},
                           [](QByteArray b) { return PackageFixture::truncated(b, 1000 + 50); });
     },
     false, 1, 0, 1},
    {"ZeroLengthImageData", [](PackageFixture& f) { return writePackage(f, {0}); }, true, 0, 0, 0},
    {"ZeroLengthBetweenImages",
     [](PackageFixture& f) {
         return writePackage(f, {100, 0, 100});
     },
     true, 0, 0, 2},
    {"SubHeaderNotJsonFallsBackToCheckBlockDigest",
     [](PackageFixture& f) {
         return writePackage(f, {100}, [](PackageContents& c) { c.images[0].subHeader = "not json"; });
     },
     true, 0, 0, 1},
    {"SubHeaderNotJsonWithOtherCheckBlockDigest",
     [](PackageFixture& f) {
         return writePackage(f, {100}, [](PackageContents& c) {
             c.images[0].subHeader = "not json";
             c.checkMd5 = PackageWriter::md5Hex("something else");
         });
     },
     false, 0, 1, 1},
    {"LaterSubHeaderNotJsonTakesPreviousDigest",
     [](PackageFixture& f) {
         return writePackage(f, {100, 100}, [](PackageContents& c) {
             c.images[1].data = c.images[0].data;
             c.images[1].subHeader = "{broken";
         });
     },
     true, 0, 0, 2},
    {"LaterSubHeaderNotJsonWithOtherData",
     [](PackageFixture& f) {
         return writePackage(f, {100, 100}, [](PackageContents& c) { c.images[1].subHeader = "{broken"; });
     },
     false, 0, 1, 2},
    {"SubHeaderWithoutMd5",
     [](PackageFixture& f) {
         return writePackage(f, {100}, [](PackageContents& c) { c.images[0].subHeader = "{}"; });
     },
     false, 0, 1, 1},
    {"CheckBlockNotBase64Json",
     [](PackageFixture& f) {
         return writePackage(f, {100}, [](PackageContents& c) { c.checkBlock = "!!! not base64 {} !!!"; });
     },
     true, 0, 0, 0},
    {"CheckBlockBase64OfNonJson",
     [](PackageFixture& f) {
         return writePackage(f, {100},
                             [](PackageContents& c) { c.checkBlock = QByteArray("hello").toBase64(); });
     },
     true, 0, 0, 0},
    {"CheckBlockListsNoImages",
     [](PackageFixture& f) {
         return writePackage(f, {100}, [](PackageContents& c) {
             c.checkBlock = QByteArray(R"({"md5":"x","systemImages":[]})").toBase64();
         });
     },
     true, 0, 0, 0},
    {"HeaderIsNotExamined",
     [](PackageFixture& f) {
         return writePackage(f, {100},
                             [](PackageContents& c) { c.header = QByteArray("\0\xff not json", 11); });
     },
     true, 0, 0, 1},
    {"BytesAfterLastImageIgnored",
     [](PackageFixture& f) { return writeBytes(f, {100}, [](QByteArray b) { return b + "trailing junk"; }); },
     true, 0, 0, 1},
    {"EmptyFile", [](PackageFixture& f) { return f.writeBytes(QByteArray()); }, false, 1, 0, 0},
};

class VerifyOutcomeTest : public testing::TestWithParam<VerifyCase>
{
protected:
    PackageFixture fixture;
};

TEST_P(VerifyOutcomeTest, ResultAndLogLines)
{
    const VerifyCase& c = GetParam();
    const QString path = c.make(fixture);
    LogCapture log;
    UpgradeViewModel model;
    log.clear();

    EXPECT_EQ(model.upgradeCheck(path), c.verified);
    EXPECT_EQ(log.count(QStringLiteral("head check fail")), c.headCheckFails);
    EXPECT_EQ(log.count(QStringLiteral("md5 check fail")), c.md5CheckFails);
    EXPECT_EQ(static_cast<int>(chunkLines(log).size()), c.chunks);
    EXPECT_EQ(dropLines(log), 0);
    for (const LogLine& line : log.lines()) {
        EXPECT_TRUE(line.file.endsWith(QLatin1String("upgradeviewmodel.cpp"))) << line.file.toStdString();
        EXPECT_EQ(line.function, QLatin1String(UpgradeCheckSignature));
        EXPECT_EQ(line.category, QLatin1String("default"));
    }

    // The workstation walk reaches the same verdict, silently, and so does
    // a walk in chunks that split every image.
    log.clear();
    Upgrade::Package::VerifyOptions quiet;
    quiet.pauseAfterChunk = false;
    quiet.dropPageCache = false;
    EXPECT_EQ(Upgrade::Package::verify(path, quiet).ok(), c.verified);
    quiet.chunkSize = 7;
    EXPECT_EQ(Upgrade::Package::verify(path, quiet).ok(), c.verified);
    EXPECT_TRUE(log.lines().empty());
}

std::string caseName(const testing::TestParamInfo<VerifyCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Packages, VerifyOutcomeTest, testing::ValuesIn(verifyCases), caseName);

// ---- log lines in detail ---------------------------------------------------------

class VerifyLogTest : public testing::Test
{
protected:
    PackageFixture fixture;
    LogCapture log;
    UpgradeViewModel model;
};

TEST_F(VerifyLogTest, MissingFileFailsWithoutLogging)
{
    log.clear();
    EXPECT_FALSE(model.upgradeCheck(fixture.path("absent.bin")));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(VerifyLogTest, HeadCheckFailIsADebugLine)
{
    log.clear();
    EXPECT_FALSE(model.upgradeCheck(fixture.writeBytes("Vesx\0\0\0\0")));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].type, QtDebugMsg);
    EXPECT_EQ(log.lines()[0].message, QStringLiteral("head check fail"));
}

TEST_F(VerifyLogTest, CheckBlockLineShowsRawFieldsAndText)
{
    PackageContents contents = PackageFixture::package({64});
    const QString path = fixture.write(contents);
    const QByteArray bytes = fixture.bytes(contents);
    const int h = contents.header.size();
    const QByteArray checkBlock
        = bytes.mid(12 + h, static_cast<int>(Upgrade::Package::littleEndian32(bytes.mid(8 + h))));
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));

    const std::vector<LogLine> lines = log.matching(QStringLiteral("upgradeCheck"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].type, QtDebugMsg);
    EXPECT_EQ(lines[0].message,
              debugText("upgradeCheck", bytes.mid(4, 4), contents.header, bytes.mid(8 + h, 4), checkBlock,
                        QString::fromUtf8(QByteArray::fromBase64(checkBlock))));
    // Order: the check block line, then the image's chunk.
    EXPECT_TRUE(log.lines()[0].message.startsWith(QLatin1String("upgradeCheck")));
}

TEST_F(VerifyLogTest, Md5CheckFailNamesExpectedComputedAndShortfall)
{
    PackageContents contents = PackageFixture::package({1000});
    const QString path = fixture.writeBytes(PackageFixture::truncated(fixture.bytes(contents), 10));
    log.clear();
    ASSERT_FALSE(model.upgradeCheck(path));

    const std::vector<LogLine> lines = log.matching(QStringLiteral("md5 check fail"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].type, QtDebugMsg);
    const QString expected = PackageWriter::md5Hex(contents.images[0].data);
    const QString computed = PackageWriter::md5Hex(contents.images[0].data.left(990));
    EXPECT_EQ(lines[0].message, debugText("md5 check fail", expected, computed, qint64(10)));

    Upgrade::Package::VerifyOptions quiet;
    quiet.pauseAfterChunk = false;
    const Upgrade::Package::VerifyResult result = Upgrade::Package::verify(path, quiet);
    EXPECT_EQ(result.outcome, Upgrade::Package::VerifyResult::DigestMismatch);
    EXPECT_EQ(result.image, 0);
    EXPECT_EQ(result.expected, expected);
    EXPECT_EQ(result.computed, computed);
    EXPECT_EQ(result.remaining, 10);
}

TEST_F(VerifyLogTest, TwelveMiBImageReadsThreeChunksWithoutDrop)
{
    const QString path = fixture.write(PackageFixture::package({12 * MiB}));
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));

    const std::vector<LogLine> lines = chunkLines(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].message,
              QStringLiteral("read file size: 5242880 packageLen is: 7340032 bytesRead: 5242880"));
    EXPECT_EQ(lines[1].message,
              QStringLiteral("read file size: 2097152 packageLen is: 2097152 bytesRead: 5242880"));
    EXPECT_EQ(lines[2].message, QStringLiteral("read file size: 0 packageLen is: 0 bytesRead: 2097152"));
    for (const LogLine& line : lines)
        EXPECT_EQ(line.type, QtWarningMsg);
    EXPECT_EQ(dropLines(log), 0);
}

TEST_F(VerifyLogTest, SixtyMiBImageDropsThePageCacheAfterTheEleventhChunk)
{
    const QString path = fixture.write(PackageFixture::package({60 * MiB}));
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));

    EXPECT_EQ(chunkLines(log).size(), 12u);
    EXPECT_EQ(dropLines(log), 1);
    // The drop's line comes between the 10th and the 11th chunk's lines.
    int chunksBefore = 0;
    for (const LogLine& line : log.lines()) {
        if (line.message.startsWith(QLatin1String("read file size:"))) {
            ++chunksBefore;
        } else if (line.message.endsWith(QLatin1String("sync command\n"))
                   || line.message.startsWith(QLatin1String("Sync command"))) {
            EXPECT_EQ(line.type, QtWarningMsg);
            EXPECT_EQ(chunksBefore, 10);
        }
    }
    EXPECT_EQ(chunkLines(log)[10].message,
              QStringLiteral("read file size: 5242880 packageLen is: 5242880 bytesRead: 5242880"));
}

TEST_F(VerifyLogTest, DropCountRestartsWithEveryImage)
{
    // Two images of eleven chunks each: each image's counter reaches its
    // eleventh chunk, so each drops once.
    const QString path = fixture.write(PackageFixture::package({11 * Chunk, 11 * Chunk}));
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));
    EXPECT_EQ(chunkLines(log).size(), 22u);
    EXPECT_EQ(dropLines(log), 2);
}

// ---- pauses ------------------------------------------------------------------------

int alarms = 0;

void onAlarm(int)
{
    ++alarms;
}

TEST(VerifyPauseTest, SignalsDoNotShortenThePauses)
{
    PackageFixture fixture;
    const QString path = fixture.write(PackageFixture::package({2 * Chunk + 1}));

    struct sigaction action = {};
    action.sa_handler = onAlarm; // no SA_RESTART: every tick interrupts a sleep
    struct sigaction previous = {};
    sigaction(SIGALRM, &action, &previous);
    const itimerval tick{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &tick, nullptr);
    alarms = 0;

    Upgrade::Package::VerifyOptions options;
    options.dropPageCache = false;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Upgrade::Package::verify(path, options).ok();
    const auto elapsed = std::chrono::steady_clock::now() - start;

    const itimerval stop{};
    setitimer(ITIMER_REAL, &stop, nullptr);
    sigaction(SIGALRM, &previous, nullptr);

    EXPECT_TRUE(ok);
    EXPECT_GT(alarms, 3);
    // Three chunks, three full pauses of 10 ms.
    EXPECT_GE(elapsed, std::chrono::milliseconds(30));
}

// ---- bounded reads -----------------------------------------------------------------

enum class LengthField { Header, CheckBlock, SubHeader };

class VerifyBoundedTest : public testing::TestWithParam<LengthField>
{
};

// A 1 KiB package whose chosen length field claims about 4 GiB.
TEST_P(VerifyBoundedTest, HugeLengthFieldsReadOnlyWhatTheFileHolds)
{
#ifdef UPGRADE_TEST_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#else
    PackageFixture fixture;
    const PackageContents contents = PackageFixture::package({512});
    const QByteArray bytes = fixture.bytes(contents);
    const int checkField = 8 + contents.header.size();
    const int checkLength = static_cast<int>(Upgrade::Package::littleEndian32(bytes.mid(checkField)));
    const int offsets[] = {4, checkField, checkField + 4 + checkLength + 4};
    const int offset = offsets[static_cast<int>(GetParam())];
    const QString path = fixture.writeBytes(PackageFixture::patched(bytes, offset, "\xf0\xff\xff\xff"));
    EXPECT_EXIT(
        {
            limitAddressSpace(256);
            UpgradeViewModel model;
            model.upgradeCheck(path);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
#endif
}

const char* fieldText(LengthField field)
{
    static const char* const names[] = {"Header", "CheckBlock", "SubHeader"};
    return names[static_cast<int>(field)];
}

void PrintTo(LengthField field, std::ostream* os)
{
    *os << fieldText(field);
}

std::string fieldName(const testing::TestParamInfo<LengthField>& param)
{
    return fieldText(param.param);
}

INSTANTIATE_TEST_SUITE_P(Fields, VerifyBoundedTest,
                         testing::Values(LengthField::Header, LengthField::CheckBlock,
                                         LengthField::SubHeader),
                         fieldName);

} // namespace
