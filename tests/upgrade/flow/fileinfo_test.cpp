// The file-information query through the plug-in: the two reply bytes for
// packages made here, and what a request logs; path payloads as both
// path-taking handlers read them.
#include "flowtesting.h"

#include "upgrade/upgradeids.h"

namespace {

using flow_testing::fileInfoReply;
using testing_support::LogCapture;
using testing_support::sameBytes;

using FileInfoTest = flow_testing::FlowFixture;

// The data version decides the downgrade (its rules have their own tests).
TEST_F(FileInfoTest, RepliesTypeAndDowngrade)
{
    const auto header = [](int model, const QByteArray& mainVersion, const QByteArray& dataVersion,
                           const QByteArray& name = "Vesk") {
        return flow_testing::headerJson(name, model, mainVersion, dataVersion);
    };
    const struct
    {
        const char* name;
        QByteArray magic; // empty: no file at all
        QByteArray header;
        std::string device; // firmware version the device reports
        QByteArray reply;
    } cases[] = {
        {"MissingFile", "", "", "2.0", fileInfoReply(0, 0)},
        {"Older", "Vesk", header(29974, "1.0", "1.2.9"), "1.3.0", fileInfoReply(1, 1)},
        {"MainVersionIgnored", "Vesk", header(29974, "9.9.9", "1.0"), "2.0", fileInfoReply(1, 1)},
        // The file's magic stands in for the header's own name.
        {"HeaderNameIgnored", "Vesk", header(29974, "1.0", "1.2.0", "Other"), "1.0", fileInfoReply(1, 0)},
        // Another device type: no match, the downgrade is computed all the same.
        {"OtherModel", "Vesk", header(12345, "1.0", "1.0"), "2.0", fileInfoReply(0, 1)},
        {"OtherMagic", "Xesk", header(29974, "1.0", "1.0"), "2.0", fileInfoReply(0, 1)},
        {"LowerCaseMagic", "vesk", header(29974, "1.0", "1.0"), "2.0", fileInfoReply(0, 1)},
        // No header read: modelID stays 0, nothing is compared.
        {"NoModel", "Vesk", "{\"name\":\"Vesk\",\"dataVersion\":\"1.0\"}", "2.0", fileInfoReply(0, 0)},
        {"HeaderNotJson", "Vesk", "not json", "2.0", fileInfoReply(0, 0)},
    };
    flow_testing::PackageFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion(c.device);
        const QByteArray path = c.magic.isEmpty()
            ? folder.missing(c.name)
            : folder.write(c.name, flow_testing::headerPackage(c.magic, c.header));
        const std::optional<QByteArray> reply = ui.queryFileInfo(path);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(sameBytes(c.reply, *reply));
        EXPECT_EQ(lines(), flow_testing::fileInfoLines(path));
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
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"command 0xfc000029 uistandin>upgradeviewmodel 0",
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
        // clang-format off
    } cases[] = {
        {"Terminated", QByteArray("/a/b.vpk\0", 9), "/a/b.vpk"},
        {"LongestAccepted", QByteArray(127, 'p') + '\0', QByteArray(127, 'p')},
        {"TooLongCutAt127", QByteArray(200, 'q'), QByteArray(127, 'q')},
        {"UnterminatedShort", QByteArray("/x"), "/x"},
        {"EndsAtFirstZero", QByteArray("/a\0/b\0", 6), "/a"},
        {"Utf8", QByteArray("/media/\xc3\x9c" "bersicht.vpk\0", 22), "/media/\xc3\x9c" "bersicht.vpk"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString logged = "filePath : \"" + QString::fromUtf8(c.path) + "\"";
        LogCapture log;
        ui.postEventRaw(Upgrade::MsgSetUpgradeFile, c.payload);
        ASSERT_EQ(device.lastStartEntries.size(), 1u);
        EXPECT_TRUE(sameBytes(c.path, QByteArray::fromStdString(device.lastStartEntries[0].filePath)));
        EXPECT_TRUE(
            flow_testing::onlyViewModelLine(log, QtDebugMsg, logged, flow_testing::SetUpgradeFileSignature));

        log.clear();
        ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, c.payload);
        const std::vector<testing_support::LogLine> found = log.matching("filePath :");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_TRUE(flow_testing::isViewModelLine(found[0], QtDebugMsg, logged,
                                                  flow_testing::GetUpgradeFileInfoSignature));
    }
}

} // namespace
