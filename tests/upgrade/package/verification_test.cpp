// Package verification: the verify request through the host, on sound and
// on failing storage, and the walk it shares with upgrade-pack. The fault
// layer's read() stands in for the C library's in this process, so it
// reaches the Qt reads of the dlopen'ed plug-in.

#include "signingkey.h"
#include "standin/storage/faultystorage.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "testing/testtrust.h"
#include "upgrade/layoutreader.h"
#include "upgrade/packagecheck.h"
#include "upgrade/trustfolder.h"
#include "upgrade/upgradeids.h"
#include "upgrade/upgradeviewmodel.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include <sys/resource.h>

using testing_support::caseName;
using testing_support::LogCapture;
using testing_support::LogLine;
using testing_support::NamedCase;
using Standin::FaultyStorage;
using Upgrade::PackageContents;
using Upgrade::UpgradeViewModel;

namespace {

const char CheckSignature[] = "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)";
const char HandlerSignature[] = "krt::IMessage* Upgrade::UpgradeViewModel::getUpgradeMD5(const krt::IMessage*)";
constexpr int Chunk = Upgrade::Package::ChunkSize;

// Where each part of the package at `path` starts, as the core reads it.
struct Layout
{
    explicit Layout(const QString& path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        Upgrade::Package::LayoutReader reader(file);
        reader.readMagic();
        const Upgrade::Package::CheckBlock head = reader.readHead();
        header = head.header.at;
        checkBlock = head.raw.at;
        const Upgrade::Package::ImageRecord image = reader.readImage(head.packet.systemImages.at(0));
        subHeader = image.subHeader.at;
        data = image.dataOffset();
    }

    qint64 magic = 0;
    qint64 header, checkBlock, subHeader, data;
};

// ---- outcomes over the package kinds and failing storage under them -------------

struct VerifyCase : NamedCase
{
    PackageFixture::Recipe recipe; // no image sizes: no file at all
    bool verified;
    const char* failLine; // the walk's deciding line, once
    int chunks; // -1: not counted
    uint8_t fits = 1; // first byte of the file-information reply
    // Storage that fails from the region's start plus delta on.
    qint64 Layout::*region = nullptr;
    qint64 delta = 0;
    FaultyStorage::Fault fault = {};
};

using F = PackageFixture;
const char* const Eio = "Error reading file:  \"Input/output error\"";
const char* const Mismatch = "md5 check fail";
// Offsets come from the rows' regions.
const FaultyStorage::Fault MediaGone{-1, ENXIO}, Cut{-1, 0, true}, Short{-1, 0, false, 4096};
const std::vector<int> TwoImages{3000, 2000};

const VerifyCase verifyCases[] = {
    {"SeveralImages", {{1000, Chunk + 1, 300}}, true, "", 4},
    {"UpperCaseDigest", {{1000}, {}, F::upperCaseDigest(0)}, false, Mismatch, 1},
    {"ByteChangedInSecondImage", {{1000, 2000}, {}, F::changeDataByte(1, 7)}, false, Mismatch, 2},
    {"WrongMagicAtFileStart", {{1000}, {}, F::patched(0, "Vesx")}, false, "head check fail", 0, 0},
    {"WrongMagicAtImageStart",
     {{1000, 1000}, {}, F::recordMagic(1, "VESK")},
     false,
     "head check fail",
     1},
    {"TruncatedLastImage", {{1000, 1000}, {}, F::truncated(10)}, false, Mismatch, 2},
    {"ZeroLengthBetweenImages", {{100, 0, 100}}, true, "", 2},
    // The check block's digest stays in force.
    {"SubHeaderNotJson", {{100}, {}, F::subHeader(0, "not json")}, true, "", 1},
    {"SubHeaderWithoutMd5", {{100}, {}, F::subHeader(0, "{}")}, false, Mismatch, 1},
    // Lists no image, so there is nothing to fail.
    {"CheckBlockNotBase64Json",
     {{100}, {}, F::checkBlock("!!! not base64 {} !!!")},
     true,
     "",
     0},
    {"MissingFile", {}, false, "", 0, 0},
    // clang-format off
    {"ReadFaultInMagic", {TwoImages}, false, Eio, -1, 0, &Layout::magic},
    {"ReadFaultInCheckBlock", {TwoImages}, false, Eio, -1, 1, &Layout::checkBlock, 10},
    {"ReadFaultInImageData", {TwoImages}, false, Mismatch, -1, 1, &Layout::data, 1000},
    // Every later read of the check block fails too; the first error is the one logged.
    {"MediaGoneInHeader", {TwoImages}, false, "Error reading file:  \"No such device or address\"", -1, 0,
     &Layout::header, 10, MediaGone},
    {"ShortReadsOnly", {TwoImages}, true, "", -1, 1, &Layout::magic, 0, Short},
    // A short file keeps the walk's outcome: a cut check block lists no image.
    {"TruncatedDuringWalk", {TwoImages}, true, "", -1, 1, &Layout::checkBlock, 10, Cut},
    // clang-format on
};

class VerifyHostTest : public testing_support::HostFixture
{
protected:
    void TearDown() override
    {
        FaultyStorage::disarm();
        HostFixture::TearDown();
    }

    PackageFixture fixture;
};

class VerifyOutcomeTest : public VerifyHostTest, public testing::WithParamInterface<VerifyCase>
{
};

TEST_P(VerifyOutcomeTest, AnswerAndLogLines)
{
    const VerifyCase& c = GetParam();
    const QString path = c.recipe.sizes.empty() ? fixture.path("absent.bin") : fixture.build(c.recipe);
    QFile file(path);
    const bool checkBlockRead = file.open(QIODevice::ReadOnly) && Upgrade::Package::isMagic(file.read(4));
    if (c.region) {
        FaultyStorage::Fault armed = c.fault;
        armed.offset = c.fault.readLimit > 0 ? -1 : Layout(path).*c.region + c.delta;
        ASSERT_TRUE(FaultyStorage::arm(path, armed));
    }
    LogCapture log;
    ui.verify(path.toUtf8());

    const std::vector<Standin::TrafficRecord> answers = trafficOf({Upgrade::MsgVerifyResult});
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].route, Standin::Route::Post);
    EXPECT_EQ(answers[0].sender, "upgradeviewmodel");
    EXPECT_EQ(answers[0].bytes, QByteArray(1, c.verified ? '\1' : '\0'));

    // The request's path first; then the walk's lines.
    ASSERT_FALSE(log.lines().empty());
    EXPECT_TRUE(testing_support::fromViewModel(log.lines().front(), HandlerSignature));
    const int failures = *c.failLine ? 1 : 0;
    if (failures) {
        EXPECT_EQ(log.count(QLatin1String(c.failLine)), 1);
    }
    const std::vector<LogLine> errors = log.matching(QStringLiteral("Error reading file: "));
    EXPECT_EQ(errors.size(), c.region && c.fault.error != 0 ? 1u : 0u);
    for (const LogLine& line : errors)
        EXPECT_TRUE(testing_support::fromViewModel(line, CheckSignature));
    if (c.chunks >= 0) {
        // The check block after a good magic, the failure, a warning per
        // chunk; no page-cache drop for images this small.
        EXPECT_EQ(log.count(QStringLiteral("upgradeCheck")), checkBlockRead ? 1 : 0);
        EXPECT_EQ(log.count(QStringLiteral("read file size:")), c.chunks);
        const std::vector<LogLine> walk = log.matching(QString()); // all
        const int walkLines = (checkBlockRead ? 1 : 0) + failures + c.chunks;
        ASSERT_EQ(int(walk.size()), 1 + walkLines);
        for (int i = 1; i <= walkLines; ++i) {
            EXPECT_EQ(walk[size_t(i)].type, walk[size_t(i)].message.startsWith(QLatin1String("read file size:"))
                                                ? QtWarningMsg
                                                : QtDebugMsg);
            EXPECT_TRUE(testing_support::fromViewModel(walk[size_t(i)], CheckSignature));
        }
    }
    const std::optional<QByteArray> info = ui.queryFileInfo(path.toUtf8());
    ASSERT_TRUE(info && info->size() == 2);
    EXPECT_EQ(uint8_t(info->at(0)), c.fits);
    FaultyStorage::disarm();

    // The workstation walk reaches the same verdict, silently, and so does
    // a walk in chunks that split every image.
    if (c.region)
        return;
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

// ---- the request's payload ---------------------------------------------------------

TEST_F(VerifyHostTest, PayloadWithoutDataGetsNoAnswerAndAPathIsCutAt127Bytes)
{
    LogCapture log;
    ui.postEventRaw(Upgrade::MsgGetUpgradeMD5, {}, false);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].message, QStringLiteral("resp does not matches."));
    EXPECT_TRUE(testing_support::fromViewModel(log.lines()[0], HandlerSignature));

    // No terminator: the copy stops at 127 bytes and finds the package.
    const int prefix = fixture.path(QStringLiteral("p")).toUtf8().size() - 1; // folder and separator
    const QByteArray path = fixture.build({{50}}, QString(127 - prefix, QLatin1Char('p'))).toUtf8();
    ASSERT_EQ(path.size(), 127);
    ui.postEventRaw(Upgrade::MsgGetUpgradeMD5, path + "JUNK");
    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{1});
}

// ---- chunk cadence and page-cache drops ----------------------------------------------

TEST(VerifyCadenceTest, ChunkLinesAndADropAfterTenChunks)
{
    PackageFixture fixture;
    const QString path = fixture.write(PackageFixture::package({11 * Chunk + 1}));
    LogCapture log;
    UpgradeViewModel model;
    log.clear();
    ASSERT_TRUE(model.upgradeCheck(path));

    std::vector<QString> chunks;
    std::vector<int> dropsAfter;
    for (const LogLine& line : log.lines()) {
        if (line.message.startsWith(QLatin1String("read file size:")))
            chunks.push_back(line.message);
        else if (line.message.contains(QLatin1String("sync command"), Qt::CaseInsensitive))
            dropsAfter.push_back(int(chunks.size()));
    }
    ASSERT_EQ(chunks.size(), 12u);
    EXPECT_EQ(dropsAfter, std::vector<int>{10});
    EXPECT_EQ(chunks[0], QStringLiteral("read file size: 5242880 packageLen is: 52428801 bytesRead: 5242880"));
    EXPECT_EQ(chunks[11], QStringLiteral("read file size: 0 packageLen is: 0 bytesRead: 1"));
}

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

// ---- length fields that claim gigabytes ------------------------------------------

enum class Kind { Hostile, SignedOverLimit };

constexpr quint32 Claim = 0x7ffffff0;
constexpr qint64 HostileSize = 3LL << 30;
constexpr int Data = 512;

struct BoundedCase : NamedCase
{
    qint64 Layout::*field; // the part whose length field claims too much
    Kind package;
    bool trusted; // a key in the trust folder
    bool fits; // file information decoded the header
    bool verified;
};

// A 3 GiB sparse file whose part claims just under 2 GiB in its length field,
// the 4 bytes before it. Its check block
// lists one image whose data, once the sub-header is passed over, is Data
// zero bytes: the digest in force must be the check block's.
QString hostile(PackageFixture& fixture, qint64 Layout::*field)
{
    PackageContents contents = PackageFixture::package({Data});
    const QByteArray list = R"({"systemImages":[{"type":"system","size":")"
        + QByteArray::number(8 + Claim + Data) + R"("}],"md5":")"
        + Upgrade::PackageWriter::md5Hex(QByteArray(Data, '\0')).toLatin1() + "\"}";
    const QByteArray bytes = PackageFixture::checkBlock(list.toBase64())(fixture.bytes(contents));
    const QString path = fixture.writeBytes(PackageFixture::patched(
        int(Layout(fixture.writeBytes(bytes)).*field - 4), Upgrade::PackageWriter::lengthField(Claim))(bytes));
    QFile(path).resize(HostileSize);
    return path;
}

// A package whose field holds `length` real bytes, signed by the key if given.
QString withLongField(PackageFixture& fixture, qint64 Layout::*field, qint64 length,
                      const Upgrade::SigningKey* key)
{
    PackageContents contents = PackageFixture::package({Data});
    const QByteArray text(int(length), ' ');
    if (field == &Layout::header)
        contents.header = text;
    QByteArray bytes = fixture.bytes(contents);
    if (field == &Layout::subHeader)
        bytes = PackageFixture::subHeader(0, text)(bytes);
    return fixture.writeBytes(key ? PackageFixture::signedBy(bytes, *key) : bytes);
}

// Peak resident memory of this process so far.
long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class VerifyBoundedTest : public testing::TestWithParam<BoundedCase>
{
protected:
    void TearDown() override { testing_support::setTrustFolder(QString()); }
};

// Both requests of the view model in a child, which reports its answers and
// how far its peak resident memory grew.
TEST_P(VerifyBoundedTest, AnswersWithinBoundedMemory)
{
    const BoundedCase& c = GetParam();
    static const Upgrade::SigningKey key = Upgrade::SigningKey::generate();
    PackageFixture fixture;
    const QString path = c.package == Kind::Hostile
        ? hostile(fixture, c.field)
        : withLongField(fixture, c.field, Upgrade::Package::MaxFieldLength + 1, &key);
    if (c.trusted) {
        fixture.writeBytes(key.publicKey().pem(), "key.pem");
        testing_support::setTrustFolder(fixture.path(QString()));
    }
    const QString report = fixture.path("report");
    EXPECT_EXIT(
        {
            const long before = peakResidentKiB();
            LogCapture log;
            UpgradeViewModel model;
            const bool fits = model.getUpgradeInfo(path).modelID != 0;
            const bool verified = model.upgradeCheck(path);
            QFile out(report);
            out.open(QIODevice::WriteOnly);
            out.write(QByteArray::number(fits) + ' ' + QByteArray::number(verified) + ' '
                      + QByteArray::number(qlonglong(peakResidentKiB() - before)));
            out.close();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    const QList<QByteArray> answers = fixture.read("report").split(' ');
    ASSERT_EQ(answers.size(), 3);
    EXPECT_EQ(answers[0].toInt(), c.fits);
    EXPECT_EQ(answers[1].toInt(), c.verified);
    EXPECT_LT(answers[2].toLong(), 256 * 1024) << "KiB of peak resident memory";
    std::printf("peak resident memory grew by %ld KiB\n", answers[2].toLong());
}

[[noreturn]] QString outOfMemory()
{
    throw std::bad_alloc();
}

// Out of memory inside either request: a warning, and the answer of a
// failure rather than an exception into the host. The trust folder's source
// is asked first in both, so it stands in for any allocation.
TEST(RequestFailureTest, AnExceptionIsAnsweredAsAFailure)
{
    PackageFixture fixture;
    const QString path = fixture.write(PackageFixture::package({100}));
    Upgrade::setTrustFolderSource(&outOfMemory);
    LogCapture log;
    UpgradeViewModel model;
    EXPECT_EQ(model.getUpgradeInfo(path).modelID, 0);
    EXPECT_FALSE(model.upgradeCheck(path));
    testing_support::setTrustFolder(QString());
    EXPECT_EQ(log.count("file information failed: std::bad_alloc"), 1);
    EXPECT_EQ(log.count("verification failed: std::bad_alloc"), 1);
}

using L = Layout;
// clang-format off
// Without a key the answers are those of the file's other bytes: a header
// too long to hold does not decode, a check block too long lists no image,
// a sub-header too long keeps the check block's digest. With a key the
// hostile files carry no record; the signed ones verify only if every byte
// passed over was hashed.
INSTANTIATE_TEST_SUITE_P(Fields, VerifyBoundedTest, testing::Values(
    BoundedCase{{"Header"}, &L::header, Kind::Hostile, false, false, true},
    BoundedCase{{"HeaderTrusted"}, &L::header, Kind::Hostile, true, false, false},
    BoundedCase{{"CheckBlock"}, &L::checkBlock, Kind::Hostile, false, true, true},
    BoundedCase{{"CheckBlockTrusted"}, &L::checkBlock, Kind::Hostile, true, true, false},
    BoundedCase{{"SubHeader"}, &L::subHeader, Kind::Hostile, false, true, true},
    BoundedCase{{"SubHeaderTrusted"}, &L::subHeader, Kind::Hostile, true, true, false},
    BoundedCase{{"SignedHeader"}, &L::header, Kind::SignedOverLimit, true, false, true},
    BoundedCase{{"SignedSubHeader"}, &L::subHeader, Kind::SignedOverLimit, true, true, true}),
    caseName<BoundedCase>);
// clang-format on

} // namespace
