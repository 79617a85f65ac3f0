// The file-information query through the plug-in: the two reply bytes for
// packages made here, before and after the device's version is known.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using flow_testing::headerJson;
using flow_testing::headerPackage;
using testing_support::sameBytes;

std::vector<std::string> queryLines(const QByteArray& path)
{
    return {"command 0xfc000029 uistandin>upgradeviewmodel " + std::to_string(path.size() + 1),
            "reply 0xfc000029 upgradeviewmodel>uistandin 2"};
}

using FileInfoTest = flow_testing::FlowFixture;

TEST_F(FileInfoTest, MissingFileIsNoMatch)
{
    flow_testing::PackageFolder folder;
    const QByteArray path = folder.missing("absent.vpk");
    testing_support::LogCapture log;

    const std::optional<QByteArray> reply = ui.queryFileInfo(path);

    ASSERT_TRUE(reply);
    EXPECT_TRUE(sameBytes(QByteArray(2, '\0'), *reply));
    EXPECT_EQ(lines(), queryLines(path));
    const std::vector<testing_support::LogLine> logged = log.matching("filePath :");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(flow_testing::isViewModelLine(logged[0], QtDebugMsg, "filePath : \"" + path + "\"",
                                              flow_testing::GetUpgradeFileInfoSignature));
    EXPECT_EQ(log.count("current device version"), 0) << "no downgrade test without a header";
}

TEST_F(FileInfoTest, WithoutPayloadWarnsAndGivesNoReply)
{
    testing_support::LogCapture log;
    EXPECT_FALSE(ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, {}, false));
    EXPECT_EQ(lines(), std::vector<std::string>{"command 0xfc000029 uistandin>upgradeviewmodel 0"});
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtWarningMsg, "resp does not matches.",
                                                flow_testing::GetUpgradeFileInfoSignature));
}

// ---- packages with a header (the header reader reads them) --------------------

struct PackageCase
{
    std::string name;
    QByteArray magic;
    QByteArray header;
    std::string device;     // firmware version the device reports; empty: never asked
    QByteArray reply;
};

void PrintTo(const PackageCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackageInfo : public flow_testing::FlowFixture, public ::testing::WithParamInterface<PackageCase>
{
};

// Enabled once the header reader is on this branch.
TEST_P(PackageInfo, RepliesTypeAndDowngrade)
{
    const PackageCase& c = GetParam();
    if (!c.device.empty())
        refreshNodeVersion(c.device);
    flow_testing::PackageFolder folder;
    const QByteArray path = folder.write("package.vpk", headerPackage(c.magic, c.header));

    const std::optional<QByteArray> reply = ui.queryFileInfo(path);

    ASSERT_TRUE(reply);
    EXPECT_TRUE(sameBytes(c.reply, *reply));
    EXPECT_EQ(lines(), queryLines(path));
}

QByteArray flags(bool matched, bool downGrade)
{
    return QByteArray(1, char(matched)) + char(downGrade);
}

const QByteArray Vesk = "Vesk";

INSTANTIATE_TEST_SUITE_P(
    Packages, PackageInfo,
    ::testing::Values(
        PackageCase{"DeviceVersionUnknown", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.0"), "", flags(1, 0)},
        PackageCase{"Newer", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.0"), "1.1.0", flags(1, 0)},
        PackageCase{"Equal", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.0"), "1.2.0", flags(1, 0)},
        PackageCase{"Older", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.9"), "1.3.0", flags(1, 1)},
        // 1210 > 130: digits, not parts, are compared.
        PackageCase{"DigitsConcatenated", Vesk, headerJson("Vesk", 29974, "1.0", "1.3.0"), "1.2.10", flags(1, 1)},
        // The main version never decides.
        PackageCase{"MainVersionIgnored", Vesk, headerJson("Vesk", 29974, "9.9.9", "1.0"), "2.0", flags(1, 1)},
        // The file's magic stands in for the header's own name.
        PackageCase{"HeaderNameIgnored", Vesk, headerJson("Other", 29974, "1.0", "1.2.0"), "1.0", flags(1, 0)},
        // Another device type: no match, the downgrade is computed all the same.
        PackageCase{"OtherModel", Vesk, headerJson("Vesk", 12345, "1.0", "1.0"), "2.0", flags(0, 1)},
        PackageCase{"OtherMagic", "Xesk", headerJson("Vesk", 29974, "1.0", "1.0"), "2.0", flags(0, 1)},
        // No header read: modelID stays 0, nothing is compared.
        PackageCase{"NoModel", Vesk, "{\"name\":\"Vesk\",\"dataVersion\":\"1.0\"}", "2.0", flags(0, 0)},
        PackageCase{"HeaderNotJson", Vesk, "not json", "2.0", flags(0, 0)}),
    flow_testing::caseName<PackageCase>);

// Enabled once the header reader is on this branch.
TEST_F(FileInfoTest, DowngradeShowsAfterTheVersionRefresh)
{
    flow_testing::PackageFolder folder;
    const QByteArray path =
        folder.write("package.vpk", headerPackage(Vesk, headerJson("Vesk", 29974, "1.0", "1.5.0")));
    EXPECT_EQ(ui.queryFileInfo(path), flags(1, 0));

    testing_support::LogCapture log;
    refreshNodeVersion("2.0.0");
    EXPECT_EQ(ui.queryFileInfo(path), flags(1, 1));
    const std::vector<testing_support::LogLine> logged = log.matching("current device version");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(flow_testing::isViewModelLine(logged[0], QtInfoMsg,
                                              R"(current device version "2.0.0" upgradeFile version "1.5.0")",
                                              flow_testing::IsDownGradeSignature));
}

} // namespace
