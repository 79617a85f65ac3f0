// The verification request handler called directly, with payloads in
// exactly sized blocks so that the address sanitizer sees any read past them.
// Its answers through a host are covered by verifyflow_test.

#include "host/imessage.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "upgrade/upgradeids.h"
#include "upgrade/upgradeviewmodel.h"

#include <QDebug>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using testing_support::LogCapture;
using testing_support::LogLine;
using Upgrade::UpgradeViewModel;

namespace {

// A delivered request whose payload is exactly `declaredSize` bytes of its
// own heap block; a null payload gives a null data pointer.
class PayloadMessage : public krt::IMessage
{
public:
    PayloadMessage(const QByteArray& payload, int declaredSize)
        : bytes(payload.isNull() ? nullptr : new char[size_t(qMax(payload.size(), 1))])
        , declared(declaredSize)
    {
        if (bytes)
            std::memcpy(bytes.get(), payload.constData(), size_t(payload.size()));
    }

    int type() const override { return krt::MessageTypeEvent; }
    int id() const override { return Upgrade::MsgGetUpgradeMD5; }
    int size() const override { return declared; }
    const void* data() const override { return bytes.get(); }

private:
    std::unique_ptr<char[]> bytes;
    int declared;
};

void expectHandlerLine(const LogLine& line, QtMsgType type, const QString& message)
{
    EXPECT_EQ(line.type, type);
    EXPECT_EQ(line.message, message);
    EXPECT_TRUE(line.file.endsWith(QLatin1String("upgradeviewmodel.cpp")));
    EXPECT_EQ(line.function,
              QLatin1String("krt::IMessage* Upgrade::UpgradeViewModel::getUpgradeMD5(const krt::IMessage*)"));
    EXPECT_EQ(line.category, QLatin1String("default"));
}

TEST(VerifyHandlerTest, RequestWithoutPayloadOnlyWarns)
{
    PayloadMessage empty(QByteArray(), 0);
    LogCapture log;
    UpgradeViewModel model;
    log.clear();
    EXPECT_EQ(model.getUpgradeMD5(nullptr), nullptr);
    EXPECT_EQ(model.getUpgradeMD5(&empty), nullptr);

    ASSERT_EQ(log.lines().size(), 2u);
    for (const LogLine& line : log.lines())
        expectHandlerLine(line, QtWarningMsg, QStringLiteral("resp does not matches."));
}

struct PayloadCase : testing_support::NamedCase
{
    QByteArray payload;
    int declaredSize; // what the message reports as its size
    QByteArray expectedPath;
};

class PathPayloadTest : public testing::TestWithParam<PayloadCase>
{
};

TEST_P(PathPayloadTest, CopiesAtMost127BytesUpToTheFirstNul)
{
    const PayloadCase& c = GetParam();
    PayloadMessage message(c.payload, c.declaredSize);
    LogCapture log;
    UpgradeViewModel model;
    log.clear();
    model.getUpgradeMD5(&message);

    // Logged first, quoted as Qt quotes text.
    QString quoted;
    QDebug(&quoted) << "filePath :" << QString::fromUtf8(c.expectedPath);
    ASSERT_FALSE(log.lines().empty());
    expectHandlerLine(log.lines().front(), QtDebugMsg, quoted.trimmed());
    EXPECT_EQ(log.count(QStringLiteral("filePath :")), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, PathPayloadTest,
    testing::Values(PayloadCase{"Unterminated128Bytes", QByteArray(128, 'a'), 128, QByteArray(127, 'a')},
                    PayloadCase{"Unterminated5Bytes", QByteArray("/none"), 5, QByteArray("/none")},
                    PayloadCase{"StopsAtFirstNul", QByteArray("/a\0/b", 6), 6, QByteArray("/a")},
                    PayloadCase{"SizeShorterThanText", QByteArray("/abcdef\0", 8), 3, QByteArray("/ab")},
                    PayloadCase{"NegativeSize", QByteArray("/abc\0", 5), -4, QByteArray()},
                    PayloadCase{"EmptyText", QByteArray("\0", 1), 1, QByteArray()},
                    PayloadCase{"QuotesAndBlanks", QByteArray("/pkg \"q\".bin\0", 13), 13, "/pkg \"q\".bin"}),
    testing_support::caseName<PayloadCase>);

} // namespace
