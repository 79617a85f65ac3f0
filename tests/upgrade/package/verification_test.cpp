// Package verification: upgradeCheck and the walk it shares with upgrade-pack.

#include "boundedmemory.h"
#include "packagefixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "upgrade/packagecheck.h"
#include "upgrade/upgradeviewmodel.h"

#include <QDebug>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

using testing_support::caseName;
using testing_support::LogCapture;
using testing_support::LogLine;
using testing_support::NamedCase;
using Upgrade::PackageContents;
using Upgrade::PackageWriter;
using Upgrade::UpgradeViewModel;

namespace {

const char UpgradeCheckSignature[] = "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)";
constexpr int MiB = 1024 * 1024;
constexpr int Chunk = Upgrade::Package::ChunkSize;

// The message Qt's debug stream makes of the given items, blank-separated.
template <typename... Items> QString debugText(const Items&... items)
{
    QString text;
    {
        QDebug stream(&text);
        (void)std::initializer_list<int>{((stream << items), 0)...};
    }
    return text.trimmed();
}

int exactly(const LogCapture& log, const QString& message)
{
    return int(std::count_if(log.lines().begin(), log.lines().end(),
                             [&](const LogLine& line) { return line.message == message; }));
}

bool startsWithMagic(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "Vesk";
}

PackageFixture::Change subHeader(int image, const QByteArray& text)
{
    return [=](PackageContents& c) { c.images[size_t(image)].subHeader = text; };
}

PackageFixture::Change checkBlock(const QByteArray& text)
{
    return [=](PackageContents& c) { c.checkBlock = text; };
}

// ---- outcomes over the package kinds ----------------------------------------

struct VerifyCase : NamedCase
{
    PackageFixture::Recipe recipe; // no image sizes: no file at all
    bool verified;
    int headCheckFails;
    int md5CheckFails;
    int chunks;
};

using F = PackageFixture;
const VerifyCase verifyCases[] = {
    {"SeveralImages", {{1000, Chunk + 1, 300}}, true, 0, 0, 4},
    {"UpperCaseDigest", {{1000}, F::upperCaseDigest(0)}, false, 0, 1, 1},
    {"ByteChangedInSecondImage", {{1000, 2000}, F::changeDataByte(1, 7)}, false, 0, 1, 2},
    {"WrongMagicAtFileStart", {{1000}, {}, F::patched(0, "Vesx")}, false, 1, 0, 0},
    {"WrongMagicAtImageStart",
     {{1000, 1000}, [](PackageContents& c) { c.images[1].magic = "VESK"; }},
     false,
     1,
     0,
     1},
    {"TruncatedLastImage", {{1000, 1000}, {}, F::truncated(10)}, false, 0, 1, 2},
    {"LastImageRecordMissing", {{1000, 1000}, {}, F::truncated(1000 + 50)}, false, 1, 0, 1},
    {"ZeroLengthImageData", {{0}}, true, 0, 0, 0},
    {"ZeroLengthBetweenImages", {{100, 0, 100}}, true, 0, 0, 2},
    {"SubHeaderNotJsonFallsBackToCheckBlockDigest", {{100}, subHeader(0, "not json")}, true, 0, 0, 1},
    {"SubHeaderNotJsonWithOtherCheckBlockDigest",
     {{100},
      [](PackageContents& c) {
          c.images[0].subHeader = "not json";
          c.checkMd5 = PackageWriter::md5Hex("something else");
      }},
     false,
     0,
     1,
     1},
    {"LaterSubHeaderNotJsonTakesPreviousDigest",
     {{100, 100},
      [](PackageContents& c) {
          c.images[1].data = c.images[0].data;
          c.images[1].subHeader = "{broken";
      }},
     true,
     0,
     0,
     2},
    {"LaterSubHeaderNotJsonWithOtherData", {{100, 100}, subHeader(1, "{broken")}, false, 0, 1, 2},
    {"SubHeaderWithoutMd5", {{100}, subHeader(0, "{}")}, false, 0, 1, 1},
    {"CheckBlockNotBase64Json", {{100}, checkBlock("!!! not base64 {} !!!")}, true, 0, 0, 0},
    {"CheckBlockBase64OfNonJson", {{100}, checkBlock(QByteArray("hello").toBase64())}, true, 0, 0, 0},
    {"CheckBlockListsNoImages",
     {{100}, checkBlock(QByteArray(R"({"md5":"x","systemImages":[]})").toBase64())},
     true,
     0,
     0,
     0},
    {"HeaderIsNotExamined",
     {{100}, [](PackageContents& c) { c.header = QByteArray("\0\xff not json", 11); }},
     true,
     0,
     0,
     1},
    {"BytesAfterLastImageIgnored",
     {{100}, {}, [](QByteArray b) { return b + "trailing junk"; }},
     true,
     0,
     0,
     1},
    {"EmptyFile", {{1}, {}, [](QByteArray) { return QByteArray(); }}, false, 1, 0, 0},
    {"MissingFile", {}, false, 0, 0, 0},
};

class VerifyOutcomeTest : public testing::TestWithParam<VerifyCase>
{
protected:
    PackageFixture fixture;
};

TEST_P(VerifyOutcomeTest, ResultAndLogLines)
{
    const VerifyCase& c = GetParam();
    const QString path = c.recipe.sizes.empty() ? fixture.path("absent.bin") : fixture.build(c.recipe);
    LogCapture log;
    UpgradeViewModel model;
    log.clear();

    EXPECT_EQ(model.upgradeCheck(path), c.verified);
    EXPECT_EQ(exactly(log, QStringLiteral("head check fail")), c.headCheckFails);
    EXPECT_EQ(log.count(QStringLiteral("md5 check fail")), c.md5CheckFails);
    EXPECT_EQ(log.count(QStringLiteral("read file size:")), c.chunks);
    // The check block's line follows a good magic; nothing else is logged,
    // in particular no page-cache drop for images this small.
    const int checkLines = startsWithMagic(path) ? 1 : 0;
    EXPECT_EQ(log.count(QStringLiteral("upgradeCheck")), checkLines);
    EXPECT_EQ(int(log.lines().size()), checkLines + c.headCheckFails + c.md5CheckFails + c.chunks);
    for (const LogLine& line : log.lines()) {
        EXPECT_EQ(line.type,
                  line.message.startsWith(QLatin1String("read file size:")) ? QtWarningMsg : QtDebugMsg);
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

INSTANTIATE_TEST_SUITE_P(Packages, VerifyOutcomeTest, testing::ValuesIn(verifyCases), caseName<VerifyCase>);

// ---- log lines in detail ---------------------------------------------------------

class VerifyLogTest : public testing::Test
{
protected:
    PackageFixture fixture;
    LogCapture log;
    UpgradeViewModel model;
};

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

    // It comes before the image's chunk.
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0].message,
              debugText("upgradeCheck", bytes.mid(4, 4), contents.header, bytes.mid(8 + h, 4), checkBlock,
                        QString::fromUtf8(QByteArray::fromBase64(checkBlock))));
}

TEST_F(VerifyLogTest, Md5CheckFailNamesExpectedComputedAndShortfall)
{
    const PackageContents contents = PackageFixture::package({1000});
    const QString path = fixture.build({{1000}, {}, PackageFixture::truncated(10)});
    log.clear();
    ASSERT_FALSE(model.upgradeCheck(path));

    const std::vector<LogLine> lines = log.matching(QStringLiteral("md5 check fail"));
    ASSERT_EQ(lines.size(), 1u);
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

// ---- chunk cadence and page-cache drops ----------------------------------------------

struct CadenceCase : NamedCase
{
    std::vector<int> sizes;
    int chunks;
    std::vector<int> dropsAfter; // chunk lines before each drop's line
    std::vector<std::pair<int, const char*>> chunkLines; // by index
};

class VerifyCadenceTest : public VerifyLogTest, public testing::WithParamInterface<CadenceCase>
{
};

TEST_P(VerifyCadenceTest, ChunkLinesAndDrops)
{
    const CadenceCase& c = GetParam();
    const QString path = fixture.write(PackageFixture::package(c.sizes));
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));

    std::vector<QString> chunks;
    std::vector<int> dropsAfter;
    for (const LogLine& line : log.lines()) {
        if (line.message.startsWith(QLatin1String("read file size:")))
            chunks.push_back(line.message);
        else if (line.message == QLatin1String("Sync command executed successfully\n")
                 || line.message == QLatin1String("Error executing sync command\n"))
            dropsAfter.push_back(int(chunks.size()));
        else
            continue;
        EXPECT_EQ(line.type, QtWarningMsg);
    }
    EXPECT_EQ(int(chunks.size()), c.chunks);
    EXPECT_EQ(dropsAfter, c.dropsAfter);
    for (const auto& [index, text] : c.chunkLines)
        EXPECT_EQ(chunks.at(size_t(index)), QLatin1String(text)) << "chunk " << index;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VerifyCadenceTest,
    testing::Values(CadenceCase{"TwelveMiB",
                                {12 * MiB},
                                3,
                                {},
                                {{0, "read file size: 5242880 packageLen is: 7340032 bytesRead: 5242880"},
                                 {1, "read file size: 2097152 packageLen is: 2097152 bytesRead: 5242880"},
                                 {2, "read file size: 0 packageLen is: 0 bytesRead: 2097152"}}},
                    CadenceCase{"SixtyMiB",
                                {60 * MiB},
                                12,
                                {10},
                                {{10, "read file size: 5242880 packageLen is: 5242880 bytesRead: 5242880"}}},
                    // Each image counts its own chunks towards a drop.
                    CadenceCase{"ElevenChunksTwice", {11 * Chunk, 11 * Chunk}, 22, {10, 21}, {}}),
    caseName<CadenceCase>);

// ---- pauses ------------------------------------------------------------------------

// The walk's pauses, taken without sleeping. Each is interrupted half-way
// once, as a signal would, so the walk must ask again for what is left.
long long pausedNs = 0;
bool interruptNext = true;

} // namespace

extern "C" int nanosleep(const timespec* request, timespec* left)
{
    const long long ns = request->tv_sec * 1000000000LL + request->tv_nsec;
    interruptNext = !interruptNext;
    pausedNs += interruptNext ? ns : ns / 2;
    if (interruptNext)
        return 0;
    if (left)
        *left = {0, long(ns - ns / 2)};
    errno = EINTR;
    return -1;
}

namespace {

TEST(VerifyPauseTest, SignalsDoNotShortenThePauses)
{
    PackageFixture fixture;
    const QString path = fixture.write(PackageFixture::package({160}));
    Upgrade::Package::VerifyOptions options;
    options.dropPageCache = false;
    options.chunkSize = 16;
    pausedNs = 0;
    EXPECT_TRUE(Upgrade::Package::verify(path, options).ok());
    // Ten chunks, each followed by 10 ms.
    EXPECT_EQ(pausedNs, 10 * 10 * 1000 * 1000);
}

// ---- bounded reads -----------------------------------------------------------------

enum class LengthField { Header, CheckBlock, SubHeader };

struct BoundedCase : NamedCase
{
    LengthField field;
    bool info; // read by getUpgradeInfo rather than upgradeCheck
};

class VerifyBoundedTest : public testing::TestWithParam<BoundedCase>
{
};

// A small package whose chosen length field claims gigabytes.
TEST_P(VerifyBoundedTest, HugeLengthFieldsReadOnlyWhatTheFileHolds)
{
#ifdef UPGRADE_TEST_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#else
    const BoundedCase& c = GetParam();
    PackageFixture fixture;
    const PackageContents contents = PackageFixture::package({512});
    const QByteArray bytes = fixture.bytes(contents);
    const int checkField = 8 + contents.header.size();
    const int checkLength = static_cast<int>(Upgrade::Package::littleEndian32(bytes.mid(checkField)));
    const int offsets[] = {4, checkField, checkField + 4 + checkLength + 4};
    // The header reader takes its field as signed, so it gets just under 2 GiB.
    const QByteArray claim = c.info ? "\xff\xff\xff\x7f" : "\xf0\xff\xff\xff";
    const QString path = fixture.writeBytes(PackageFixture::patched(offsets[int(c.field)], claim)(bytes));
    EXPECT_EXIT(
        {
            limitAddressSpace(256);
            UpgradeViewModel model;
            if (c.info)
                model.getUpgradeInfo(path);
            else
                model.upgradeCheck(path);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
#endif
}

INSTANTIATE_TEST_SUITE_P(Fields, VerifyBoundedTest,
                         testing::Values(BoundedCase{"InfoHeader", LengthField::Header, true},
                                         BoundedCase{"Header", LengthField::Header, false},
                                         BoundedCase{"CheckBlock", LengthField::CheckBlock, false},
                                         BoundedCase{"SubHeader", LengthField::SubHeader, false}),
                         caseName<BoundedCase>);

} // namespace
