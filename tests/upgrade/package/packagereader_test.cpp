// Header reading and the small format helpers of the view model.

#include "packagefixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "upgrade/packagecheck.h"
#include "upgrade/upgradeviewmodel.h"

#include <QBuffer>

#include <gtest/gtest.h>

using testing_support::LogCapture;
using Upgrade::UpgradeViewModel;

namespace {

TEST(FormatHelpersTest, LengthFieldsAreLittleEndianAndMagicMustBeExact)
{
    UpgradeViewModel model;
    const std::pair<const char*, uint32_t> lengths[] = {{"10270000", 10000u},
                                                        {"102700", 0u},
                                                        {"", 0u},
                                                        {"00000080", 0x80000000u},
                                                        {"ffffffff", 0xffffffffu},
                                                        {"0102030405", 0x04030201u}};
    for (const auto& [hex, expected] : lengths)
        EXPECT_EQ(model.getSmallEndSize(QByteArray::fromHex(hex)), expected) << hex;

    // checkVesk reports a mismatch.
    EXPECT_FALSE(model.checkVesk("Vesk"));
    for (const QByteArray& other :
         {QByteArray("Vesx"), QByteArray("Ves"), QByteArray(), QByteArray("VeskV"), QByteArray("Vesk\0", 5)})
        EXPECT_TRUE(model.checkVesk(other)) << other.toHex().constData();

    // calmd5 digests the parts as one text, in lower case.
    EXPECT_EQ(model.calmd5({}), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(model.calmd5({"a", "", "bc"}), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
}

// Every text starts from a packet that already holds one size and a digest.
TEST(DecodeJsonTest, SizesAppendAndMd5IsReplaced)
{
    struct Case
    {
        const char* json;
        std::vector<uint32_t> sizes;
        const char* md5;
    };
    const Case cases[] = {
        {R"({"md5":"abc","systemImages":[{"type":"a","size":"1024"},{"type":"b","size":"2048"}]})",
         {7, 1024, 2048},
         "abc"},
        // Sizes are decimal strings; anything else counts as zero.
        {R"({"systemImages":[{"size":1024},{"size":"2048"},{"size":"12a"},{}]})", {7, 0, 2048, 0, 0}, ""},
        // A top-level array is a document with an empty object.
        {R"([{"md5":"x"}])", {7}, ""},
        {R"({"md5":5})", {7}, ""},
        // Text that is not a JSON document leaves the packet as it was.
        {"not json", {7}, "earlier"},
        {"", {7}, "earlier"},
        {R"({"md5":"x")", {7}, "earlier"},
        {R"("md5")", {7}, "earlier"},
    };
    UpgradeViewModel model;
    for (const Case& c : cases) {
        CheckPacket packet{{7}, QStringLiteral("earlier")};
        model.decodeJson(QString::fromLatin1(c.json), packet);
        EXPECT_EQ(packet.systemImages, c.sizes) << c.json;
        EXPECT_EQ(packet.md5, QLatin1String(c.md5)) << c.json;
    }
}

// A device that remembers the largest read the caller asked it for.
class RecordingDevice : public QBuffer
{
public:
    using QBuffer::QBuffer;
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
    EXPECT_EQ(Upgrade::Package::readBounded(device, 0x7fffffff).size(), 24);
    EXPECT_LE(device.largestRequest, 24);
    EXPECT_TRUE(Upgrade::Package::readBounded(device, 100).isEmpty());
    EXPECT_TRUE(Upgrade::Package::readBounded(device, -5).isEmpty());
}

// ---- getUpgradeInfo -------------------------------------------------------------

const char DecodeFailed[] = "upgrade file is invalid, head json decode failed. error at line :";

struct InfoCase : testing_support::NamedCase
{
    PackageFixture::Recipe recipe; // no image sizes: no file at all
    const char* warning; // the one line logged; DecodeFailed is followed by the decoder's error
    int modelId;
    const char* magic;
};

class GetUpgradeInfoTest : public testing::TestWithParam<InfoCase>
{
};

TEST_P(GetUpgradeInfoTest, ReadsTheHeaderOrWarnsOnce)
{
    const InfoCase& c = GetParam();
    PackageFixture fixture;
    const QString path = c.recipe.sizes.empty() ? fixture.path("absent.bin") : fixture.build(c.recipe);
    UpgradeViewModel model;
    LogCapture log;
    const auto info = model.getUpgradeInfo(path);

    EXPECT_EQ(info.modelID, c.modelId);
    // The name is the file's magic, whatever the header says ("LCD").
    EXPECT_EQ(info.name, c.magic);
    if (!*c.warning) {
        EXPECT_TRUE(log.lines().empty());
        EXPECT_EQ(info.dataVersion, "1.2.3");
        EXPECT_EQ(info.mainVersion, "2.0.0");
        return;
    }
    ASSERT_EQ(log.lines().size(), 1u);
    const testing_support::LogLine& line = log.lines().front();
    if (c.warning == DecodeFailed)
        EXPECT_TRUE(line.message.startsWith(QLatin1String(c.warning))) << line.message.toStdString();
    else
        EXPECT_EQ(line.message, QLatin1String(c.warning));
    EXPECT_EQ(line.type, QtWarningMsg);
    EXPECT_TRUE(line.file.endsWith(QLatin1String("upgradeviewmodel.cpp"))) << line.file.toStdString();
    EXPECT_EQ(
        line.function,
        QLatin1String(
            "LCD::ProtoModel::Device::s_UpgradeInfo Upgrade::UpgradeViewModel::getUpgradeInfo(QString)"));
    EXPECT_EQ(line.category, QLatin1String("default"));
}

// Replaces the whole file.
PackageFixture::Damage file(const QByteArray& bytes)
{
    return [bytes](QByteArray) { return bytes; };
}

using F = PackageFixture;
INSTANTIATE_TEST_SUITE_P(
    Files, GetUpgradeInfoTest,
    testing::Values(
        InfoCase{"Decoded", {{16}}, "", 29974, "Vesk"},
        InfoCase{"ForeignMagic", {{16}, {}, F::patched(0, "Vesq")}, "", 29974, "Vesq"},
        InfoCase{"NulEndsTheHeader",
                 {{16}, [](Upgrade::PackageContents& c) { c.header += QByteArray("\0junk", 5); }},
                 "",
                 29974,
                 "Vesk"},
        InfoCase{"MissingFile", {}, "open upgrade file fail.", 0, ""},
        InfoCase{"NegativeHeaderLength",
                 {{16}, {}, F::patched(4, "\xff\xff\xff\xff")},
                 "Proj file is invalid, header data len is empty, read header data len is  -1",
                 0,
                 ""},
        InfoCase{"ZeroLength", {{16}, {}, F::patched(4, QByteArray(4, '\0'))}, DecodeFailed, 0, ""},
        InfoCase{"NotJson", {{1}, {}, file(QByteArray("Vesk\x08\0\0\0not json", 16))}, DecodeFailed, 0, ""},
        InfoCase{"ShortLengthField", {{1}, {}, file(QByteArray("Vesk\x08\0", 6))}, DecodeFailed, 0, ""},
        InfoCase{
            "LengthBeyondFile", {{1}, {}, file(QByteArray("Vesk\xf0\0\0\x10{", 9))}, DecodeFailed, 0, ""}),
    testing_support::caseName<InfoCase>);

} // namespace
