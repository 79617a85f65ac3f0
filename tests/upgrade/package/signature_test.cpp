// Signed packages: upgradeCheck on a device whose trust folder holds keys,
// over the faults the signature must catch, and upgrade-pack verify --trust
// giving the same verdict for the same folder.

#include "signingkey.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "testing/programrun.h"
#include "testing/testtrust.h"
#include "upgrade/signaturerecord.h"
#include "upgrade/upgradeviewmodel.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using testing_support::LogCapture;
using testing_support::LogLine;
using Upgrade::PackageContents;
using Upgrade::SigningKey;

namespace {

// NoFolder: the configured folder does not exist.
enum KeyFile { PublicA, PublicB, TruncatedA, Dangling, NoFolder };
enum Signer { ByA, ByB, Unsigned };

const SigningKey& signingKey(Signer signer)
{
    static const SigningKey keys[] = {SigningKey::generate(), SigningKey::generate()};
    return keys[signer];
}

QString idOf(Signer signer)
{
    return Upgrade::Package::keyIdText(signingKey(signer).publicKey().id());
}

// Overwrites bytes of the record, which ends the package.
PackageFixture::Damage inRecord(int offset, const QByteArray& bytes)
{
    return [=](QByteArray package) {
        return package.replace(package.size() - Upgrade::Package::SignatureRecord::Length + offset,
                               bytes.size(), bytes);
    };
}

struct SignatureCase : testing_support::NamedCase
{
    std::vector<KeyFile> trusted;
    Signer signer;
    PackageFixture::Change after = {}; // made after signing; the record stays as it was
    PackageFixture::Damage damage = {}; // to the signed bytes
    bool verified = false;
    QString verdict = {}; // the signature's log line, "valid" or why not; <A>, <B>: the keys' ids, <DIR> the folder
    int skippedKeys = 0;
    bool touched = false; // the file's times change during the walk, as a copy over it would
};

using F = PackageFixture;
// clang-format off
const SignatureCase cases[] = {
    {{"SignedByTrustedKey"}, {PublicA}, ByA, {}, {}, true, R"(valid, key id "<A>")"},
    {{"SignedByAnotherKey"}, {PublicA}, ByB, {}, {}, false, R"(unknown key id "<B>")"},
    {{"ImageByteChangedDigestsKept"}, {PublicA}, ByA, [](PackageContents& c) { c.images[1].data[5] = 'x'; }, {},
     false, R"(signed bytes differ, key id "<A>")"},
    {{"HeaderChanged"}, {PublicA}, ByA, [](PackageContents& c) { c.header.replace("1.2.3", "9.9.9"); }, {},
     false, R"(signed bytes differ, key id "<A>")"},
    {{"RecordChanged"}, {PublicA}, ByA, {}, inRecord(30, "\x55"), false, R"(invalid signature, key id "<A>")"},
    {{"RecordTruncated"}, {PublicA}, ByA, {}, F::truncated(1), false,
     R"(malformed record "truncated to 115 of 116 bytes")"},
    {{"HostileRecordLength"}, {PublicA}, ByA, {}, inRecord(4, "\xff\xff\xff\xff"), false,
     R"(malformed record "length field 4294967295 out of bounds")"},
    {{"BytesAfterRecord"}, {PublicA}, ByA, {}, [](QByteArray b) { return b + "x"; }, false,
     R"(malformed record "bytes after the record")"},
    {{"NoRecordWhileKeysTrusted"}, {PublicA}, Unsigned, {}, {}, false, "no record"},
    // The folder gives no key: nothing verifies, and nothing is walked.
    {{"EmptyFolderRefuses"}, {}, ByA, {}, {}, false, R"(trust folder "<DIR>" holds no usable key)"},
    {{"MissingFolderRefuses"}, {NoFolder}, ByA, {}, {}, false, R"(trust folder "<DIR>" is missing)"},
    {{"SecondOfTwoTrustedKeysSigns"}, {PublicA, PublicB}, ByB, {}, {}, true, R"(valid, key id "<B>")"},
    {{"MalformedKeyFileNeverTrusted"}, {TruncatedA, PublicB}, ByA, {}, {}, false, R"(unknown key id "<A>")", 1},
    {{"UnreadableKeyFileSkipped"}, {Dangling, PublicA}, ByA, {}, {}, true, R"(valid, key id "<A>")", 1},
    {{"OnlyBrokenKeysRefuse"}, {TruncatedA}, ByA, {}, {}, false, R"(trust folder "<DIR>" holds no usable key)", 1},
    // Every byte read checks out, but the verdict would belong to no one version of the file.
    {{"FileChangedDuringTheWalk"}, {PublicA}, ByA, {}, {}, false, "the file changed while it was verified", 0, true},
};
// clang-format on

QString touchedPackage;
QtMessageHandler logHandler = nullptr;

// At the walk's first chunk line, changes the package's times as a copy over
// it between two reads would.
void touchAtFirstChunk(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("read file size:")) && !touchedPackage.isEmpty()) {
        const timespec times[2] = {{1, 0}, {1, 0}};
        utimensat(AT_FDCWD, QFile::encodeName(touchedPackage).constData(), times, 0);
        touchedPackage.clear();
    }
    logHandler(type, context, message);
}

class SignatureTest : public testing::TestWithParam<SignatureCase>
{
protected:
    void TearDown() override { testing_support::setTrustFolder(QString()); }

    QString writePackage(const SignatureCase& c)
    {
        PackageContents contents = PackageFixture::package({3000, 2000});
        const QByteArray original = fixture.bytes(contents);
        const QByteArray record
            = c.signer == Unsigned ? QByteArray() : F::signedBy(original, signingKey(c.signer)).mid(original.size());
        if (c.after)
            c.after(contents);
        const QByteArray package = fixture.bytes(contents) + record;
        return fixture.writeBytes(c.damage ? c.damage(package) : package);
    }

    void fillTrustFolder(const std::vector<KeyFile>& files)
    {
        if (files == std::vector<KeyFile>{NoFolder})
            return;
        ASSERT_TRUE(QDir().mkpath(fixture.path("trust")));
        for (KeyFile file : files) {
            const QString name = QStringLiteral("trust/%1.pem").arg(file);
            const QByteArray pem = signingKey(file == PublicB ? ByB : ByA).publicKey().pem();
            if (file == Dangling)
                ASSERT_TRUE(QFile::link(fixture.path("nowhere"), fixture.path(name)));
            else
                fixture.writeBytes(file == TruncatedA ? pem.left(50) : pem, name);
        }
    }

    // Verifies with the trust folder given, and returns the lines logged.
    std::vector<LogLine> check(const QString& package, const QString& folder, bool verified, bool touched = false)
    {
        testing_support::setTrustFolder(folder);
        LogCapture log;
        Upgrade::UpgradeViewModel model;
        log.clear();
        touchedPackage = touched ? package : QString();
        logHandler = qInstallMessageHandler(touchAtFirstChunk);
        EXPECT_EQ(model.upgradeCheck(package), verified);
        qInstallMessageHandler(logHandler);
        return log.lines();
    }

    PackageFixture fixture;
};

TEST_P(SignatureTest, VerdictAndLogLines)
{
    const SignatureCase& c = GetParam();
    fillTrustFolder(c.trusted);
    const QString package = writePackage(c);
    // Every package here has its digests right: without a trust folder, it verifies.
    const std::vector<LogLine> without = check(package, QString(), true);
    std::vector<LogLine> with = check(package, fixture.path("trust"), c.verified, c.touched);

    // The walk logs what it logs without keys; skipped key files come
    // first, the signature's one line last.
    for (const LogLine& line : with)
        EXPECT_TRUE(testing_support::fromViewModel(
            line, "bool Upgrade::UpgradeViewModel::upgradeCheck(const QString&)"));
    for (int i = 0; i < c.skippedKeys; ++i)
        EXPECT_TRUE(with.at(size_t(i)).message.startsWith("trusted key skipped:"))
            << with[size_t(i)].message.toStdString();
    with.erase(with.begin(), with.begin() + c.skippedKeys);
    if (!c.verdict.isEmpty()) {
        // A valid signature is a debug line, a failing one a warning.
        QString verdict = (c.verified ? "signature " : "signature check fail: ") + c.verdict;
        verdict.replace("<A>", idOf(ByA)).replace("<B>", idOf(ByB)).replace("<DIR>", fixture.path("trust"));
        EXPECT_EQ(with.back().message, verdict);
        EXPECT_EQ(with.back().type, c.verified ? QtDebugMsg : QtWarningMsg);
        with.pop_back();
    }
    // upgrade-pack verify --trust judges the package and folder as the plug-in does.
    const int toolExit = testing_support::runProgram(UPGRADE_PACK, {"verify", package, "--trust", fixture.path("trust")}).exitCode;
    EXPECT_EQ(toolExit == 0, c.verified || c.touched) << "upgrade-pack exit code " << toolExit;
    // A folder that refuses is told before any read of the package.
    if (c.verdict.startsWith("trust folder")) {
        EXPECT_TRUE(with.empty());
        return;
    }
    ASSERT_EQ(with.size(), without.size());
    for (size_t i = 0; i < with.size(); ++i)
        EXPECT_EQ(with[i].message, without[i].message);
}

INSTANTIATE_TEST_SUITE_P(Faults, SignatureTest, testing::ValuesIn(cases),
                         testing_support::caseName<SignatureCase>);

} // namespace
