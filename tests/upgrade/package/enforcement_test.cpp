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

#include <gtest/gtest.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

const Upgrade::SigningKey& trustedKey()
{
    static const Upgrade::SigningKey key = Upgrade::SigningKey::generate();
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

    void act(Action action, const QString& name)
    {
        const QByteArray path = QFile::encodeName(fixture.path(name));
        if (action == Info)
            ASSERT_TRUE(ui.queryFileInfo(path));
        else if (action == Verify)
            ui.verify(path);
        else if (action == CopyOver || action == Rewrite)
            fixture.writeBytes(action == Rewrite ? fixture.read(name) : package(true, 2), name);
        else
            fixture.writeBytes(package(action == RenameOver, 3), name + ".new");
        if (action == RenameOver || action == PutUnsigned)
            ASSERT_EQ(std::rename(QFile::encodeName(fixture.path(name + ".new")).constData(), path.constData()), 0);
    }

    PackageFixture fixture;
};

TEST_F(EnforcedStartTest, OnlyTheFileVerifiedAndShownStarts)
{
    for (const StartCase& c : startCases) {
        SCOPED_TRACE(c.name);
        // A file of its own: the view model remembers what earlier cases did.
        const QString path = fixture.writeBytes(package(true, 1), QString(c.name));
        for (Action action : c.before)
            act(action, c.name);
        ui.boxes.clear();
        const int requests = device.startRequests;
        testing_support::LogCapture log;

        ui.start(QFile::encodeName(path));

        EXPECT_EQ(ui.startResults.back() != 0, c.refusal == nullptr);
        EXPECT_EQ(device.startRequests - requests, c.refusal ? 0 : 1);
        // A refused start sends nothing to the device side and shows no box.
        EXPECT_EQ(log.matching("start refused:").size(), c.refusal ? 1u : 0u);
        if (c.refusal) {
            EXPECT_TRUE(ui.boxes.empty());
            EXPECT_EQ(log.lines().back().message, "start refused: \"" + path + "\" " + c.refusal);
        }
    }
}

// A path that is not UTF-8 would be opened by its decoded text (U+FFFD for
// the byte) but handed to the device side raw: two files for one path.
TEST_F(EnforcedStartTest, PathsThatAreNotUtf8AreRefusedByEveryHandler)
{
    fixture.writeBytes(package(true, 1), QStringLiteral("a") + QChar(0xfffd));
    // QFile would name the decoded twin: the raw bytes need the system call.
    const QByteArray raw = QFile::encodeName(fixture.path("a")) + "\xff";
    const QByteArray unsignedPackage = package(false, 2);
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(::write(fd, unsignedPackage.constData(), size_t(unsignedPackage.size())), unsignedPackage.size());
    ::close(fd);
    testing_support::LogCapture log;

    EXPECT_EQ(ui.queryFileInfo(raw), QByteArray(2, '\0'));
    ui.verify(raw);
    ui.start(raw);
    ::unlink(raw.constData()); // the temporary folder's clean-up cannot name it either

    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{0});
    EXPECT_EQ(ui.startResults, std::vector<uint8_t>{0});
    EXPECT_EQ(device.startRequests, 0);
    EXPECT_EQ(log.count("path is not valid UTF-8:"), 2);
    EXPECT_EQ(log.count("start refused:"), 1);
}

} // namespace
