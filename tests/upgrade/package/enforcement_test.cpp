// The plug-in that enforces signatures, in the stand-in host: only the file
// that verified with a trusted key, unchanged since and the one whose file
// information was shown, reaches the device side.
#include "signingkey.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "testing/qtprint.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

using testing_support::LogCapture;
using Upgrade::SigningKey;

const SigningKey& trustedKey()
{
    static const SigningKey key = SigningKey::generate();
    return key;
}

enum Action {
    Info, // file information asked
    Verify,
    CopyOver, // another signed package written into the same file
    RenameOver, // another signed package renamed onto the path
    Rewrite, // truncated and the same bytes written again
    PutUnsigned, // an unsigned package renamed onto the path
};

struct StartCase : testing_support::NamedCase
{
    std::vector<Action> before;
    const char* refusal; // null: the upgrade starts
};

// clang-format off
const StartCase startCases[] = {
    {{"ShownVerifiedUnchanged"}, {Info, Verify}, nullptr},
    {{"NeverVerified"}, {Info}, "was not verified with a valid signature"},
    {{"VerificationFailed"}, {PutUnsigned, Verify}, "was not verified with a valid signature"},
    {{"CopiedOver"}, {Verify, CopyOver}, "changed since it was verified"},
    {{"RenamedOver"}, {Verify, RenameOver}, "changed since it was verified"},
    {{"TruncatedAndRewritten"}, {Verify, Rewrite}, "changed since it was verified"},
    {{"InfoShownForOtherContent"}, {Info, RenameOver, Verify}, "is not the file whose information was shown"},
};
// clang-format on

class EnforcedStartTest : public testing_support::HostFixture
{
protected:
    QString plugin() const override { return testing_support::rehearsalPluginPath(); }

    void SetUp() override
    {
        fixture.writeBytes(trustedKey().publicKey().pem(), "trust/maker.pem");
        qputenv("UPGRADE_REHEARSAL_TRUST_DIR", QFile::encodeName(fixture.path("trust")));
        HostFixture::SetUp();
    }

    void TearDown() override
    {
        HostFixture::TearDown();
        qunsetenv("UPGRADE_REHEARSAL_TRUST_DIR");
    }

    // A two-image package; `seed` sets the image data apart.
    QByteArray package(bool sign, int seed)
    {
        Upgrade::PackageContents contents = PackageFixture::package({3000, 2000});
        contents.images[0].data = PackageFixture::imageData(3000, seed);
        const QByteArray bytes = fixture.bytes(contents);
        return sign ? PackageFixture::signedBy(bytes, trustedKey()) : bytes;
    }

    void put(const QString& path, const QByteArray& bytes, bool rename)
    {
        const QString target = rename ? path + ".new" : path;
        fixture.writeBytes(bytes, QFileInfo(target).fileName());
        if (rename) {
            ASSERT_EQ(::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0);
        }
    }

    void act(Action action, const QString& path)
    {
        const QByteArray raw = QFile::encodeName(path);
        switch (action) {
        case Info:
            ASSERT_TRUE(ui.queryFileInfo(raw));
            return;
        case Verify:
            ui.verify(raw);
            return;
        case CopyOver:
            return put(path, package(true, 2), false);
        case RenameOver:
            return put(path, package(true, 3), true);
        case Rewrite:
            return put(path, fixture.read(QFileInfo(path).fileName()), false);
        case PutUnsigned:
            return put(path, package(false, 4), true);
        }
    }

    PackageFixture fixture;
};

TEST_F(EnforcedStartTest, OnlyTheFileVerifiedAndShownStarts)
{
    for (const StartCase& c : startCases) {
        SCOPED_TRACE(c.name);
        // A file of its own: the view model remembers what earlier cases did.
        const QString path = fixture.writeBytes(package(true, 1), QString(c.name) + ".upg");
        for (Action action : c.before)
            act(action, path);
        host.clearRecords();
        ui.boxes.clear();
        ui.startResults.clear();
        device.startRequests = 0;
        LogCapture log;

        ui.start(QFile::encodeName(path));

        ASSERT_EQ(ui.startResults.size(), 1u);
        EXPECT_EQ(ui.startResults[0] != 0, c.refusal == nullptr);
        EXPECT_EQ(device.startRequests, c.refusal ? 0 : 1);
        const std::vector<testing_support::LogLine> refused = log.matching("start refused:");
        if (!c.refusal) {
            EXPECT_TRUE(refused.empty());
            continue;
        }
        // Nothing reaches the device side and no box goes up.
        EXPECT_TRUE(ui.boxes.empty());
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].type, QtWarningMsg);
        EXPECT_EQ(refused[0].message, "start refused: \"" + path + "\" " + c.refusal);
    }
}

// A path that is not UTF-8 would be opened by its decoded text (U+FFFD for
// the byte) but handed to the device side raw: two files for one path.
TEST_F(EnforcedStartTest, PathsThatAreNotUtf8AreRefusedByEveryHandler)
{
    const QByteArray raw = QFile::encodeName(fixture.path("a")) + "\xff.upg";
    put(fixture.path("a") + QChar(0xfffd) + ".upg", package(true, 1), false);
    // QFile would name the decoded twin: the raw bytes need the system call.
    const QByteArray unsignedPackage = package(false, 2);
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(::write(fd, unsignedPackage.constData(), size_t(unsignedPackage.size())), unsignedPackage.size());
    ::close(fd);
    LogCapture log;

    EXPECT_EQ(ui.queryFileInfo(raw), QByteArray(2, '\0'));
    ui.verify(raw);
    ui.start(raw);

    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{0});
    EXPECT_EQ(ui.startResults, std::vector<uint8_t>{0});
    EXPECT_EQ(device.startRequests, 0);
    EXPECT_EQ(log.count("path is not valid UTF-8:"), 2);
    EXPECT_EQ(log.count("start refused:"), 1);
    // The temporary folder's clean-up cannot name it either.
    ::unlink(raw.constData());
}

} // namespace
