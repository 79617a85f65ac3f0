// The verification request handler (event 0xfc000010 -> event 0xfc020019),
// against a host that records the events the component emits.

#include "fakeeventhost.h"
#include "host/imessage.h"
#include "packagefixture.h"
#include "testing/logcapture.h"
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

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

const char GetUpgradeMD5Signature[]
    = "krt::IMessage* Upgrade::UpgradeViewModel::getUpgradeMD5(const krt::IMessage*)";

// A delivered event whose payload is exactly `size` bytes of its own heap
// block, so a read past the payload is caught by the address sanitizer.
class PayloadMessage : public krt::IMessage
{
public:
    PayloadMessage(const QByteArray& bytes, int declaredSize)
        : bytes(new char[static_cast<size_t>(qMax(bytes.size(), 1))])
        , declared(declaredSize)
    {
        std::memcpy(this->bytes.get(), bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    explicit PayloadMessage(const QByteArray& bytes)
        : PayloadMessage(bytes, bytes.size())
    {
    }

    int type() const override { return krt::MessageTypeEvent; }
    int id() const override { return Upgrade::MsgGetUpgradeMD5; }
    int size() const override { return declared; }
    const void* data() const override { return bytes.get(); }

private:
    std::unique_ptr<char[]> bytes;
    int declared;
};

class NullPayloadMessage : public krt::IMessage
{
public:
    int type() const override { return krt::MessageTypeEvent; }
    int id() const override { return Upgrade::MsgGetUpgradeMD5; }
    int size() const override { return 0; }
    const void* data() const override { return nullptr; }
};

QByteArray terminated(const QString& path)
{
    return path.toUtf8() + '\0';
}

QString quotedPath(const QByteArray& path)
{
    QString text;
    {
        QDebug(&text) << "filePath :" << QString::fromUtf8(path);
    }
    return text.trimmed();
}

class VerifyHandlerTest : public testing::Test
{
protected:
    // The byte each posted verification result carried.
    std::vector<int> results() const
    {
        std::vector<int> bytes;
        for (const FakeEventHost::Event& event : host.events()) {
            EXPECT_EQ(event.id, Upgrade::MsgVerifyResult);
            EXPECT_TRUE(event.posted);
            EXPECT_EQ(event.payload.size(), 1);
            bytes.push_back(event.payload.isEmpty() ? -1 : event.payload.at(0));
        }
        return bytes;
    }

    void expectHandlerContext(const LogLine& line)
    {
        EXPECT_TRUE(line.file.endsWith(QLatin1String("upgradeviewmodel.cpp")));
        EXPECT_EQ(line.function, QLatin1String(GetUpgradeMD5Signature));
        EXPECT_EQ(line.category, QLatin1String("default"));
    }

    PackageFixture fixture;
    FakeEventHost host;
    LogCapture log;
    UpgradeViewModel model;
};

TEST_F(VerifyHandlerTest, PostsOneForAVerifiedPackageAndZeroOtherwise)
{
    const QString good = fixture.write(PackageFixture::package({100, 200}), QStringLiteral("good.bin"));
    Upgrade::PackageContents contents = PackageFixture::package({100, 200});
    PackageFixture::changeDataByte(contents, 1, 3);
    const QString bad = fixture.write(contents, QStringLiteral("bad.bin"));

    for (const QString& path : {good, bad, fixture.path(QStringLiteral("absent.bin"))}) {
        PayloadMessage message(terminated(path));
        EXPECT_EQ(model.getUpgradeMD5(&message), nullptr);
    }
    EXPECT_EQ(results(), (std::vector<int>{1, 0, 0}));
}

TEST_F(VerifyHandlerTest, LogsThePathQuotedInItsOwnContext)
{
    const QString path = fixture.write(PackageFixture::package({10}), QStringLiteral("pkg \"quoted\".bin"));
    PayloadMessage message(terminated(path));
    log.clear();
    model.getUpgradeMD5(&message);

    ASSERT_FALSE(log.lines().empty());
    const LogLine& first = log.lines().front();
    EXPECT_EQ(first.type, QtDebugMsg);
    EXPECT_EQ(first.message, quotedPath(path.toUtf8()));
    expectHandlerContext(first);
}

TEST_F(VerifyHandlerTest, RequestWithoutPayloadPostsNothing)
{
    NullPayloadMessage empty;
    log.clear();
    EXPECT_EQ(model.getUpgradeMD5(nullptr), nullptr);
    EXPECT_EQ(model.getUpgradeMD5(&empty), nullptr);

    EXPECT_TRUE(host.events().empty());
    ASSERT_EQ(log.lines().size(), 2u);
    for (const LogLine& line : log.lines()) {
        EXPECT_EQ(line.type, QtWarningMsg);
        EXPECT_EQ(line.message, QStringLiteral("resp does not matches."));
        expectHandlerContext(line);
    }
}

struct PayloadCase
{
    const char* name;
    QByteArray payload;
    int declaredSize; // what the message reports as its size
    QByteArray expectedPath;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PayloadCase& c, std::ostream* os)
{
    *os << c.name;
}

class PathPayloadTest : public VerifyHandlerTest, public testing::WithParamInterface<PayloadCase>
{
};

TEST_P(PathPayloadTest, CopiesAtMost127BytesUpToTheFirstNul)
{
    const PayloadCase& c = GetParam();
    PayloadMessage message(c.payload, c.declaredSize);
    log.clear();
    model.getUpgradeMD5(&message);

    const std::vector<LogLine> lines = log.matching(QStringLiteral("filePath :"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, quotedPath(c.expectedPath));
    EXPECT_EQ(results(), std::vector<int>{0});
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, PathPayloadTest,
    testing::Values(PayloadCase{"Unterminated128Bytes", QByteArray(128, 'a'), 128, QByteArray(127, 'a')},
                    PayloadCase{"Unterminated5Bytes", QByteArray("/none"), 5, QByteArray("/none")},
                    PayloadCase{"StopsAtFirstNul", QByteArray("/a\0/b", 6), 6, QByteArray("/a")},
                    PayloadCase{"SizeShorterThanText", QByteArray("/abcdef\0", 8), 3, QByteArray("/ab")},
                    PayloadCase{"NegativeSize", QByteArray("/abc\0", 5), -4, QByteArray()},
                    PayloadCase{"EmptyText", QByteArray("\0", 1), 1, QByteArray()}),
    caseName<PayloadCase>);

} // namespace
