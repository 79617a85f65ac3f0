// The file-information query through the plug-in: the two reply bytes for
// packages made here, what a request logs, and requests without a payload.
#include "flowtesting.h"

#include "testing/packagefixture.h"
#include "upgrade/upgradeids.h"

namespace {

using testing_support::LogCapture;

using FileInfoTest = flow_testing::FlowFixture;

// The device runs 1.3.0. The header's data version decides the downgrade,
// never its main version (9.9.9 here); the file's magic stands in for the
// header's own name ("Other" here).
TEST_F(FileInfoTest, RepliesTypeAndDowngrade)
{
    const struct
    {
        const char* name;
        QByteArray magic;
        int model; // 0: the header counts as not read
        QByteArray dataVersion;
        char typeMatched;
        char downGrade;
    } cases[] = {
        {"Downgrade", "Vesk", 29974, "1.2.9", 1, 1},
        // Another device type: no match, the downgrade is computed all the same.
        {"OtherModel", "Vesk", 12345, "1.2.9", 0, 1},
        {"OtherMagic", "vesk", 29974, "1.3.0", 0, 0},
        {"NoModel", "Vesk", 0, "1.2.9", 0, 0},
    };
    PackageFixture files;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refreshNodeVersion("1.3.0");
        const QByteArray header = R"({"name":"Other","modelID":)" + QByteArray::number(c.model)
            + R"(,"mainVersion":"9.9.9","dataVersion":")" + c.dataVersion + "\"}";
        // The length fields are little-endian; the header is shorter than 128 bytes.
        const QString path = files.writeBytes(
            c.magic + char(header.size()) + QByteArray(3, '\0') + header + QByteArray(4, '\0'), c.name);
        LogCapture log;

        const std::optional<QByteArray> reply = ui.queryFileInfo(path.toUtf8());

        ASSERT_TRUE(reply);
        EXPECT_TRUE(testing_support::sameBytes(QByteArray(1, c.typeMatched) + c.downGrade, *reply));
        EXPECT_TRUE(
            flow_testing::loggedOnce(log, QtDebugMsg, "filePath : \"" + path + "\"", "getUpgradeFileInfo"));
    }
}

// Both path-taking requests without a payload warn and go no further.
TEST_F(FileInfoTest, RequestsWithoutPayloadWarnAndGoNoFurther)
{
    LogCapture log;
    EXPECT_FALSE(ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, {}, false));
    EXPECT_TRUE(flow_testing::loggedOnce(log, QtWarningMsg, "resp does not matches.", "getUpgradeFileInfo"));
    log.clear();
    ui.postEventRaw(Upgrade::MsgSetUpgradeFile, {}, false);
    EXPECT_TRUE(flow_testing::loggedOnce(log, QtWarningMsg, "resp does not matches.", "setUpgradeFile"));
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"command 0xfc000029 uistandin>upgradeviewmodel 0",
                                        "post 0xfc000006 uistandin>upgradeviewmodel 0"}));
}

} // namespace
