// Header reading and the small format helpers of the view model.

#include "testing/logcapture.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "upgrade/upgradeviewmodel.h"

#include <gtest/gtest.h>

using testing_support::LogCapture;
using Upgrade::UpgradeViewModel;

namespace {

TEST(FormatHelpersTest, LengthFieldsMagicAndDigest)
{
    UpgradeViewModel model;
    EXPECT_EQ(model.getSmallEndSize(QByteArray::fromHex("0102030405")), 0x04030201u);
    EXPECT_EQ(model.getSmallEndSize(QByteArray::fromHex("102700")), 0u);
    // checkVesk reports a mismatch.
    EXPECT_FALSE(model.checkVesk("Vesk"));
    EXPECT_TRUE(model.checkVesk("VeskV"));
    // calmd5 digests the parts as one text, in lower case.
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
        // Sizes are decimal strings; anything else counts as zero.
        {R"({"md5":"abc","systemImages":[{"size":1024},{"size":"2048"},{"size":"12a"}]})", {7, 0, 2048, 0}, "abc"},
        {R"({"systemImages":[]})", {7}, ""},
        // Text that is not a JSON document leaves the packet as it was.
        {"not json", {7}, "earlier"},
    };
    UpgradeViewModel model;
    for (const Case& c : cases) {
        CheckPacket packet{{7}, QStringLiteral("earlier")};
        model.decodeJson(QString::fromLatin1(c.json), packet);
        EXPECT_EQ(packet.systemImages, c.sizes) << c.json;
        EXPECT_EQ(packet.md5, QLatin1String(c.md5)) << c.json;
    }
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
    EXPECT_TRUE(testing_support::fromViewModel(
        line, "LCD::ProtoModel::Device::s_UpgradeInfo Upgrade::UpgradeViewModel::getUpgradeInfo(QString)"));
}

// A whole file of its own.
const QByteArray CutHeader("Vesk\x40\0\0\0{\"modelID\":29974,", 25);

using F = PackageFixture;
INSTANTIATE_TEST_SUITE_P(
    Files, GetUpgradeInfoTest,
    testing::Values(
        InfoCase{"Decoded", {{16}}, "", 29974, "Vesk"},
        InfoCase{"ForeignMagic", {{16}, {}, F::patched(0, "Vesq")}, "", 29974, "Vesq"},
        InfoCase{"MissingFile", {}, "open upgrade file fail.", 0, ""},
        InfoCase{"NegativeHeaderLength",
                 {{16}, {}, F::patched(4, "\xff\xff\xff\xff")},
                 "Proj file is invalid, header data len is empty, read header data len is  -1",
                 0,
                 ""},
        // What was decoded before the fault stays; the name does not become the magic.
        InfoCase{"CutHeader", {{1}, {}, [](QByteArray) { return CutHeader; }}, DecodeFailed, 29974, ""}),
    testing_support::caseName<InfoCase>);

} // namespace
