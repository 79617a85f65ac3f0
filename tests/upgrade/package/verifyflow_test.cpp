// Verification end to end: the real plug-in in the stand-in host, asked by the
// user-interface stand-in (event 0xfc000010) and answering with event 0xfc020019.

#include "packagefixture.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

namespace {

class VerifyFlowTest : public testing_support::HostFixture
{
protected:
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
    ui.verify(fixture.build({{300, 400}}, QStringLiteral("good.bin")).toUtf8());
    ui.verify(fixture.build({{300, 400}, PackageFixture::changeDataByte(1, 0)}, QStringLiteral("changed.bin"))
                  .toUtf8());
    ui.verify(
        fixture.build({{300}, PackageFixture::upperCaseDigest(0)}, QStringLiteral("upper.bin")).toUtf8());
    ui.verify(fixture.path(QStringLiteral("absent.bin")).toUtf8());

    EXPECT_EQ(ui.verifyResults, (std::vector<uint8_t>{1, 0, 0, 0}));
    const QByteArray no(1, '\0');
    EXPECT_EQ(postedResults(), (std::vector<QByteArray>{"\x01", no, no, no}));
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
    const QByteArray path = fixture.build({{50}}, QString(127 - prefix, QLatin1Char('p'))).toUtf8();
    ASSERT_EQ(path.size(), 127);

    ui.postEventRaw(Upgrade::MsgGetUpgradeMD5, path + "JUNK");
    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{1});
}

} // namespace
