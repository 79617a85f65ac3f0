// Verification end to end: the real plug-in in the stand-in host, asked by the
// user-interface stand-in (event 0xfc000010) and answering with event 0xfc020019.

#include "packagefixture.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

namespace {

using Upgrade::PackageContents;

class VerifyFlowTest : public testing_support::HostFixture
{
protected:
    QByteArray packagePath(const PackageContents& contents, const QString& name)
    {
        return fixture.write(contents, name).toUtf8();
    }

    // The posted results as they crossed the host.
    std::vector<QByteArray> postedResults() const
    {
        std::vector<QByteArray> payloads;
        for (const Standin::TrafficRecord& record : trafficOf({Upgrade::MsgVerifyResult})) {
            EXPECT_EQ(record.route, Standin::Route::Post);
            EXPECT_EQ(record.sender, "upgradeviewmodel");
            payloads.push_back(record.bytes);
        }
        return payloads;
    }

    PackageFixture fixture;
};

TEST_F(VerifyFlowTest, AnswersOneForAGoodPackageAndZeroForBadOnes)
{
    PackageContents changed = PackageFixture::package({300, 400});
    PackageFixture::changeDataByte(changed, 1, 0);
    PackageContents upperCase = PackageFixture::package({300});
    PackageFixture::upperCaseDigest(upperCase, 0);

    ui.verify(packagePath(PackageFixture::package({300, 400}), QStringLiteral("good.bin")));
    ui.verify(packagePath(changed, QStringLiteral("changed.bin")));
    ui.verify(packagePath(upperCase, QStringLiteral("upper.bin")));
    ui.verify(fixture.path(QStringLiteral("absent.bin")).toUtf8());

    EXPECT_EQ(ui.verifyResults, (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(
        postedResults(),
        (std::vector<QByteArray>{"\x01", QByteArray(1, '\0'), QByteArray(1, '\0'), QByteArray(1, '\0')}));
}

TEST_F(VerifyFlowTest, RequestWithoutPayloadGetsNoAnswer)
{
    testing_support::LogCapture log;
    ui.postEventRaw(Upgrade::MsgGetUpgradeMD5, {}, false);

    EXPECT_TRUE(ui.verifyResults.empty());
    EXPECT_TRUE(postedResults().empty());
    EXPECT_EQ(log.count(QStringLiteral("resp does not matches.")), 1);
}

TEST_F(VerifyFlowTest, UnterminatedPathIsCutAt127Bytes)
{
    // A 127-byte path that names a real package, followed by junk instead of
    // a terminator: the copy stops at 127 bytes and finds the package.
    const int prefix = fixture.path(QStringLiteral("p")).toUtf8().size() - 1; // folder and separator
    const QString name(127 - prefix, QLatin1Char('p'));
    const QByteArray path = packagePath(PackageFixture::package({50}), name);
    ASSERT_EQ(path.size(), 127);

    ui.postEventRaw(Upgrade::MsgGetUpgradeMD5, path + "JUNK");
    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{1});
}

} // namespace
