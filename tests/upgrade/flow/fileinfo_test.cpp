// The file-information query through the plug-in: the two reply bytes for
// packages made here, and what a request logs; path payloads as both
// path-taking handlers read them.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using flow_testing::headerJson;
using testing_support::LogCapture;
using testing_support::sameBytes;

std::vector<std::string> queryLines(const QByteArray& path)
{
    return {"command 0xfc000029 uistandin>upgradeviewmodel " + std::to_string(path.size() + 1),
            "reply 0xfc000029 upgradeviewmodel>uistandin 2"};
}

// Package fits the device (magic "Vesk" and model 29974); package is a downgrade.
QByteArray flags(bool matched, bool downGrade)
{
    return QByteArray(1, char(matched)) + char(downGrade);
}

using FileInfoTest = flow_testing::FlowFixture;

TEST_F(FileInfoTest, RepliesTypeAndDowngrade)
{
    const QByteArray Vesk = "Vesk";
    const struct
    {
        const char* name;
        QByteArray magic;
        QByteArray header;
        std::string device;     // firmware version the device reports
        QByteArray reply;
    } cases[] = {
        {"MissingFile", "", "", "2.0", flags(0, 0)},
        {"DeviceVersionUnknown", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.0"), "", flags(1, 0)},
        {"Equal", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.0"), "1.2.0", flags(1, 0)},
        {"Older", Vesk, headerJson("Vesk", 29974, "1.0", "1.2.9"), "1.3.0", flags(1, 1)},
        // 1210 > 130: digits, not parts, are compared.
        {"DigitsConcatenated", Vesk, headerJson("Vesk", 29974, "1.0", "1.3.0"), "1.2.10", flags(1, 1)},
        // The main version never decides.
        {"MainVersionIgnored", Vesk, headerJson("Vesk", 29974, "9.9.9", "1.0"), "2.0", flags(1, 1)},
        // The file's magic stands in for the header's own name.
        {"HeaderNameIgnored", Vesk, headerJson("Other", 29974, "1.0", "1.2.0"), "1.0", flags(1, 0)},
        // Another device type: no match, the downgrade is computed all the same.
        {"OtherModel", Vesk, headerJson("Vesk", 12345, "1.0", "1.0"), "2.0", flags(0, 1)},
        {"OtherMagic", "Xesk", headerJson("Vesk", 29974, "1.0", "1.0"), "2.0", flags(0, 1)},
        {"LowerCaseMagic", "vesk", headerJson("Vesk", 29974, "1.0", "1.0"), "2.0", flags(0, 1)},
        // No header read: modelID stays 0, nothing is compared.
        {"NoModel", Vesk, "{\"name\":\"Vesk\",\"dataVersion\":\"1.0\"}", "2.0", flags(0, 0)},
        {"HeaderNotJson", Vesk, "not json", "2.0", flags(0, 0)},
    };
    flow_testing::PackageFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion(c.device);
        const QByteArray path = c.magic.isEmpty() ? folder.missing(c.name)
                                                  : folder.write(c.name, flow_testing::headerPackage(c.magic, c.header));

        const std::optional<QByteArray> reply = ui.queryFileInfo(path);

        ASSERT_TRUE(reply);
        EXPECT_TRUE(sameBytes(c.reply, *reply));
        EXPECT_EQ(lines(), queryLines(path));
    }
}

TEST_F(FileInfoTest, RequestsWithoutPayloadWarnAndGoNoFurther)
{
    LogCapture log;
    EXPECT_FALSE(ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, {}, false));
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtWarningMsg, "resp does not matches.",
                                                flow_testing::GetUpgradeFileInfoSignature));
    log.clear();
    ui.postEventRaw(Upgrade::MsgSetUpgradeFile, {}, false);
    EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtWarningMsg, "resp does not matches.",
                                                flow_testing::SetUpgradeFileSignature));
    EXPECT_EQ(lines(), (std::vector<std::string>{"command 0xfc000029 uistandin>upgradeviewmodel 0",
                                                 "post 0xfc000006 uistandin>upgradeviewmodel 0"}));
}

// The path is the text up to its first zero, at most 127 bytes. The start
// logs it and nothing else; the file-information query logs it too.
TEST_F(FileInfoTest, PathPayloadsReadAsTheTextUpToItsEnd)
{
    const struct
    {
        const char* name;
        QByteArray payload;
        QByteArray path;
    } cases[] = {
        {"Terminated", QByteArray("/a/b.vpk\0", 9), "/a/b.vpk"},
        {"LongestAccepted", QByteArray(127, 'p') + '\0', QByteArray(127, 'p')},
        {"TooLongCutAt127", QByteArray(200, 'q'), QByteArray(127, 'q')},
        {"UnterminatedShort", QByteArray("/x"), "/x"},
        {"EndsAtFirstZero", QByteArray("/a\0/b\0", 6), "/a"},
        {"Utf8", QByteArray("/media/\xc3\x9c" "bersicht.vpk\0", 22), "/media/\xc3\x9c" "bersicht.vpk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString logged = "filePath : \"" + QString::fromUtf8(c.path) + "\"";
        LogCapture log;
        ui.postEventRaw(Upgrade::MsgSetUpgradeFile, c.payload);
        ASSERT_EQ(device.lastStartEntries.size(), 1u);
        EXPECT_TRUE(sameBytes(c.path, QByteArray::fromStdString(device.lastStartEntries[0].filePath)));
        EXPECT_TRUE(flow_testing::onlyViewModelLine(log, QtDebugMsg, logged, flow_testing::SetUpgradeFileSignature));

        log.clear();
        ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, c.payload);
        const std::vector<testing_support::LogLine> found = log.matching("filePath :");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_TRUE(flow_testing::isViewModelLine(found[0], QtDebugMsg, logged,
                                                  flow_testing::GetUpgradeFileInfoSignature));
    }
}

} // namespace
