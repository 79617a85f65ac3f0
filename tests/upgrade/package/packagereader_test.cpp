// Header reading and the small format helpers of the view model.

#include "boundedmemory.h"
#include "packagefixture.h"
#include "testing/logcapture.h"
#include "upgrade/packagecheck.h"
#include "upgrade/upgradeviewmodel.h"

#include "json/decode.h"

#include <QBuffer>

#include <gtest/gtest.h>

using testing_support::LogCapture;
using Upgrade::UpgradeViewModel;

namespace {

template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

const char GetUpgradeInfoSignature[]
    = "LCD::ProtoModel::Device::s_UpgradeInfo Upgrade::UpgradeViewModel::getUpgradeInfo(QString)";

// Tests that need a header that decodes run once the JSON reader is in the tree.
bool jsonReaderAvailable()
{
    LCD::ProtoModel::Device::s_UpgradeInfo info;
    std::string error;
    return LCD::ProtoModel::decode(std::string("{\"modelID\":1}"), info, error) && info.modelID == 1;
}

#define REQUIRE_JSON_READER()                                                                                \
    if (!jsonReaderAvailable())                                                                              \
    GTEST_SKIP() << "needs the JSON reader (json/decode.h is still the placeholder)"

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

// ---- getSmallEndSize and checkVesk -------------------------------------------

struct LengthCase
{
    const char* name;
    QByteArray bytes;
    uint32_t expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class SmallEndSizeTest : public testing::TestWithParam<LengthCase>
{
};

TEST_P(SmallEndSizeTest, ReadsFirstFourBytesLittleEndian)
{
    UpgradeViewModel model;
    EXPECT_EQ(model.getSmallEndSize(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SmallEndSizeTest,
    testing::Values(LengthCase{"TenThousand", bytesOf({0x10, 0x27, 0x00, 0x00}), 10000u},
                    LengthCase{"ThreeBytes", bytesOf({0x10, 0x27, 0x00}), 0u},
                    LengthCase{"Empty", QByteArray(), 0u},
                    LengthCase{"HighBitSet", bytesOf({0x00, 0x00, 0x00, 0x80}), 0x80000000u},
                    LengthCase{"AllOnes", bytesOf({0xff, 0xff, 0xff, 0xff}), 0xffffffffu},
                    LengthCase{"ExtraBytesIgnored", bytesOf({0x01, 0x02, 0x03, 0x04, 0x05}), 0x04030201u}),
    caseName<LengthCase>);

struct MagicCase
{
    const char* name;
    QByteArray bytes;
    bool mismatch;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const MagicCase& c, std::ostream* os)
{
    *os << c.name;
}

class CheckVeskTest : public testing::TestWithParam<MagicCase>
{
};

TEST_P(CheckVeskTest, TrueUnlessExactlyVesk)
{
    UpgradeViewModel model;
    EXPECT_EQ(model.checkVesk(GetParam().bytes), GetParam().mismatch);
}

INSTANTIATE_TEST_SUITE_P(Magics, CheckVeskTest,
                         testing::Values(MagicCase{"Vesk", QByteArray("Vesk"), false},
                                         MagicCase{"LastLetterDiffers", QByteArray("Vesx"), true},
                                         MagicCase{"FirstThreeBytes", QByteArray("Ves"), true},
                                         MagicCase{"Empty", QByteArray(), true},
                                         MagicCase{"Longer", QByteArray("VeskV"), true},
                                         MagicCase{"TrailingNul", QByteArray("Vesk\0", 5), true}),
                         caseName<MagicCase>);

// ---- decodeJson -----------------------------------------------------------------

TEST(DecodeJsonTest, SizesAreDecimalStringsAndNumbersCountAsZero)
{
    UpgradeViewModel model;
    CheckPacket strings;
    model.decodeJson(
        R"({"md5":"abc","systemImages":[{"type":"a","size":"1024"},{"type":"b","size":"2048"}]})", strings);
    EXPECT_EQ(strings.systemImages, (std::vector<uint32_t>{1024, 2048}));
    EXPECT_EQ(strings.md5, QStringLiteral("abc"));

    CheckPacket number;
    model.decodeJson(R"({"systemImages":[{"size":1024},{"size":"2048"},{"size":"12a"},{}]})", number);
    EXPECT_EQ(number.systemImages, (std::vector<uint32_t>{0, 2048, 0, 0}));
}

TEST(DecodeJsonTest, InvalidDocumentLeavesPacketUntouched)
{
    UpgradeViewModel model;
    CheckPacket packet{{7}, QStringLiteral("earlier")};
    for (const char* text : {"not json", "", "{\"md5\":\"x\"", "\"md5\""}) {
        model.decodeJson(QString::fromLatin1(text), packet);
        EXPECT_EQ(packet.systemImages, std::vector<uint32_t>{7}) << text;
        EXPECT_EQ(packet.md5, QStringLiteral("earlier")) << text;
    }
}

TEST(DecodeJsonTest, DocumentWithoutMd5ClearsItAndSizesAppend)
{
    UpgradeViewModel model;
    CheckPacket packet{{7}, QStringLiteral("earlier")};
    model.decodeJson(R"({"systemImages":[{"size":"9"}]})", packet);
    EXPECT_EQ(packet.systemImages, (std::vector<uint32_t>{7, 9}));
    EXPECT_TRUE(packet.md5.isEmpty());

    // A top-level array is a document with an empty object.
    packet.md5 = QStringLiteral("again");
    model.decodeJson(R"([{"md5":"x"}])", packet);
    EXPECT_EQ(packet.systemImages.size(), 2u);
    EXPECT_TRUE(packet.md5.isEmpty());

    // A non-string md5 reads as empty text.
    packet.md5 = QStringLiteral("again");
    model.decodeJson(R"({"md5":5})", packet);
    EXPECT_TRUE(packet.md5.isEmpty());
}

// ---- calmd5 -----------------------------------------------------------------------

TEST(CalMd5Test, DigestOfConcatenationInLowerCase)
{
    UpgradeViewModel model;
    EXPECT_EQ(model.calmd5({}), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(model.calmd5({"a", "", "bc"}), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
}

// ---- bounded reads ----------------------------------------------------------------

// A device that remembers the largest read the caller asked it for.
class RecordingDevice : public QBuffer
{
public:
    explicit RecordingDevice(QByteArray* bytes)
        : QBuffer(bytes)
    {
    }
    qint64 largestRequest = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        largestRequest = qMax(largestRequest, maxSize);
        return QBuffer::readData(data, maxSize);
    }
};

TEST(ReadBoundedTest, NeverAsksForMoreThanRemains)
{
    QByteArray content(1024, 'x');
    RecordingDevice device(&content);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    device.seek(1000);
    const QByteArray read = Upgrade::Package::readBounded(device, 0x7fffffff);
    EXPECT_EQ(read.size(), 24);
    EXPECT_LE(device.largestRequest, 24);
    EXPECT_TRUE(Upgrade::Package::readBounded(device, 100).isEmpty());
    EXPECT_TRUE(Upgrade::Package::readBounded(device, -5).isEmpty());
}

// ---- getUpgradeInfo -------------------------------------------------------------

class GetUpgradeInfoTest : public testing::Test
{
protected:
    // A package whose first eight bytes are replaced by `prefix`.
    QString packageWithPrefix(const QByteArray& prefix)
    {
        const QByteArray good = fixture.bytes(PackageFixture::package({16}));
        return fixture.writeBytes(PackageFixture::patched(good, 0, prefix));
    }

    void expectOneWarning(const QString& prefix)
    {
        ASSERT_EQ(log.lines().size(), 1u);
        const testing_support::LogLine& line = log.lines().front();
        EXPECT_EQ(line.type, QtWarningMsg);
        EXPECT_TRUE(line.message.startsWith(prefix)) << line.message.toStdString();
        EXPECT_TRUE(line.file.endsWith(QLatin1String("upgradeviewmodel.cpp"))) << line.file.toStdString();
        EXPECT_EQ(line.function, QLatin1String(GetUpgradeInfoSignature));
        EXPECT_EQ(line.category, QLatin1String("default"));
    }

    PackageFixture fixture;
    LogCapture log;
    UpgradeViewModel model;
};

TEST_F(GetUpgradeInfoTest, MissingFileGivesDefaultRecord)
{
    log.clear();
    const auto info = model.getUpgradeInfo(fixture.path("absent.bin"));
    EXPECT_EQ(info.modelID, 0);
    EXPECT_TRUE(info.name.empty());
    expectOneWarning(QStringLiteral("open upgrade file fail."));
    EXPECT_EQ(log.lines().front().message, QStringLiteral("open upgrade file fail."));
}

TEST_F(GetUpgradeInfoTest, NegativeHeaderLengthIsRejected)
{
    const QString path = packageWithPrefix(bytesOf({'V', 'e', 's', 'k', 0xff, 0xff, 0xff, 0xff}));
    log.clear();
    const auto info = model.getUpgradeInfo(path);
    EXPECT_EQ(info.modelID, 0);
    expectOneWarning(QStringLiteral("Proj file is invalid"));
    EXPECT_EQ(log.lines().front().message,
              QStringLiteral("Proj file is invalid, header data len is empty, read header data len is  -1"));
}

TEST_F(GetUpgradeInfoTest, UndecodableHeadersReportTheDecoderError)
{
    struct Case
    {
        const char* name;
        QByteArray file;
    };
    const Case cases[] = {
        {"ZeroLength", bytesOf({'V', 'e', 's', 'k', 0, 0, 0, 0})},
        {"NotJson", QByteArray("Vesk\x08\0\0\0not json", 16)},
        {"ShortLengthField", QByteArray("Vesk\x08\0", 6)},
        {"LengthBeyondFile", QByteArray("Vesk\xf0\0\0\x10{", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = fixture.writeBytes(c.file, QString::fromLatin1(c.name));
        log.clear();
        const auto info = model.getUpgradeInfo(path);
        expectOneWarning(QStringLiteral("upgrade file is invalid, head json decode failed. error at line :"));
        EXPECT_TRUE(info.name.empty());
        EXPECT_EQ(info.modelID, 0);
    }
}

TEST_F(GetUpgradeInfoTest, HugeHeaderLengthReadsOnlyWhatTheFileHolds)
{
#ifdef UPGRADE_TEST_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#else
    // 2 GiB - 1 claimed by a 1 KiB file.
    QByteArray file = bytesOf({'V', 'e', 's', 'k', 0xff, 0xff, 0xff, 0x7f});
    file.append(QByteArray(1016, ' '));
    const QString path = fixture.writeBytes(file);
    EXPECT_EXIT(
        {
            limitAddressSpace(256);
            UpgradeViewModel bounded;
            bounded.getUpgradeInfo(path);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
#endif
}

TEST_F(GetUpgradeInfoTest, DecodedHeaderTakesNameFromMagic)
{
    REQUIRE_JSON_READER();
    const QString path = fixture.write(PackageFixture::package({16}));
    log.clear();
    const auto info = model.getUpgradeInfo(path);
    EXPECT_EQ(info.modelID, 29974);
    EXPECT_EQ(info.dataVersion, "1.2.3");
    EXPECT_EQ(info.mainVersion, "2.0.0");
    EXPECT_EQ(info.name, "Vesk"); // the header says "LCD"
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(GetUpgradeInfoTest, ForeignMagicEndsUpInName)
{
    REQUIRE_JSON_READER();
    const QByteArray good = fixture.bytes(PackageFixture::package({16}));
    const QString path = fixture.writeBytes(PackageFixture::patched(good, 0, "Vesq"));
    const auto info = model.getUpgradeInfo(path);
    EXPECT_EQ(info.modelID, 29974);
    EXPECT_EQ(info.name, "Vesq");
}

TEST_F(GetUpgradeInfoTest, NulByteEndsTheHeaderText)
{
    REQUIRE_JSON_READER();
    Upgrade::PackageContents contents = PackageFixture::package({16});
    contents.header.append('\0');
    contents.header.append("garbage");
    const auto info = model.getUpgradeInfo(fixture.write(contents));
    EXPECT_EQ(info.modelID, 29974);
}

} // namespace
