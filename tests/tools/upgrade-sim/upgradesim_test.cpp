#include "simprocess.h"

#include "demopackage.h"
#include "packagewriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define UPGRADE_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UPGRADE_TEST_SANITIZED 1
#endif
#endif

namespace {

using simtesting::runSim;
using simtesting::SimRun;

// Packages the user might hand over, written once for the whole suite.
class UpgradeSimProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(folder->isValid());
        writeOtherModel();
        writeCorrupted();
    }

    static void TearDownTestSuite() { folder.reset(); }

    static QString otherModelPath() { return folder->filePath(QStringLiteral("other-model.upg")); }
    static QString corruptedPath() { return folder->filePath(QStringLiteral("corrupted.upg")); }

private:
    static void writeOtherModel()
    {
        Upgrade::PackageHeader header;
        header.modelId = 12345;
        header.mainVersion = header.dataVersion = QStringLiteral("1.2.0");
        Upgrade::PackageContents contents;
        contents.header = Upgrade::PackageWriter::headerJson(header);
        Upgrade::PackageImage image;
        image.data = Sim::DemoPackage::imageData(0, 4096);
        contents.images.push_back(image);
        Upgrade::PackageWriter writer;
        ASSERT_TRUE(writer.write(contents, otherModelPath())) << writer.errorString().toStdString();
    }

    // The demo with one byte of its last image's data changed.
    static void writeCorrupted()
    {
        Sim::DemoPackage demo;
        ASSERT_TRUE(demo.create(64 * 1024)) << demo.errorString().toStdString();
        ASSERT_TRUE(QFile::copy(demo.path(), corruptedPath()));
        QFile file(corruptedPath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(file.size() - 100));
        char byte = 0;
        ASSERT_TRUE(file.getChar(&byte));
        ASSERT_TRUE(file.seek(file.size() - 100));
        ASSERT_TRUE(file.putChar(char(byte ^ 0x5a)));
    }

    static std::unique_ptr<QTemporaryDir> folder;
};

std::unique_ptr<QTemporaryDir> UpgradeSimProgram::folder;

// The whole error output of a failing run is the one line given.
void expectOneErrorLine(const SimRun& run, const QString& line)
{
    EXPECT_EQ(
        run.err.toStdString(), (QStringLiteral("upgrade-sim: ") + line + QLatin1Char('\n')).toStdString());
}

TEST_F(UpgradeSimProgram, DefaultDemoUpgradesAndEndsWithTheSuccessBox)
{
    const SimRun run = runSim({});
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(run.lastBoxLine(), QStringLiteral("  box  success  Device updated successfully."));
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("file info")),
        QStringList { QStringLiteral("file info   device type matches: yes, downgrade: no") });
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("verify")),
        QStringList { QStringLiteral("verify      verified") });
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("upgraded")),
        QStringList { QStringLiteral("upgraded    the device reports firmware 1.2.0") });
    // The first box at 0 percent, then one per report of 5 percent.
    EXPECT_EQ(run.linesStartingWith(QStringLiteral("  box  total")).size(), 20);
}

struct BadDay {
    const char* name;
    QStringList arguments; // "<other-model>" and "<corrupted>" stand for the suite's packages
    int exitCode;
    QString errorLine; // without the program's prefix
    QString stdoutLine; // a line the road must have printed
    QString lastBox; // empty: no box at all
};

class UpgradeSimBadDay : public UpgradeSimProgram, public ::testing::WithParamInterface<BadDay> {
protected:
    QStringList arguments() const
    {
        QStringList list = GetParam().arguments;
        list.replaceInStrings(QStringLiteral("<other-model>"), otherModelPath());
        list.replaceInStrings(QStringLiteral("<corrupted>"), corruptedPath());
        return list;
    }
};

TEST_P(UpgradeSimBadDay, GivesItsExitCodeAndOneClearLine)
{
    const BadDay& day = GetParam();
    const SimRun run = runSim(arguments());
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, day.exitCode) << run.out.toStdString() << run.err.toStdString();
    expectOneErrorLine(run, day.errorLine);
    if (!day.stdoutLine.isEmpty()) {
        EXPECT_TRUE(run.out.contains(day.stdoutLine + QLatin1Char('\n'))) << run.out.toStdString();
    }
    EXPECT_EQ(run.lastBoxLine(), day.lastBox);
}

const QString Small = QStringLiteral("--demo-size=64K");

INSTANTIATE_TEST_SUITE_P(Rehearsals, UpgradeSimBadDay,
    ::testing::Values(BadDay { "RefuseStart", { Small, "--refuse-start" }, 1,
                          "upgrade refused: the device side did not accept the start", "start       refused",
                          "  box  withdrawn" },
        BadDay { "FailAt40", { Small, "--fail-at", "40" }, 1,
            "upgrade failed: the device side reported a failure at 40% (box: Device update failed.)",
            "  box  total  35%  sub  70%  Updating...", "  box  failure  Device update failed." },
        BadDay { "NoNode", { Small, "--no-node" }, 1, "upgrade not started: the device side reported no node",
            "start       no start result", "" },
        BadDay { "StartAnswerOfTwoBytes", { Small, "--reply-size", "2" }, 1,
            "upgrade refused: the device side did not accept the start (its answer had 2 bytes, not 1)",
            "start       refused", "  box  withdrawn" },
        BadDay { "OtherModel", { "<other-model>" }, 2,
            "package rejected: not made for this device type (Vesk, model 29974)",
            "file info   device type matches: no, downgrade: -", "" },
        BadDay { "Corrupted", { "<corrupted>" }, 2,
            "package rejected: verification failed (package structure or an image digest)",
            "verify      not verified", "" },
        BadDay { "Downgrade", { Small, "--device-version", "2.0.0" }, 2,
            "package rejected: it would lower the device's firmware from 2.0.0 to 1.2.0 (--allow-downgrade "
            "goes on)",
            "file info   device type matches: yes, downgrade: yes", "" },
        BadDay { "FailAtOutOfRange", { "--fail-at", "101" }, 3,
            "--fail-at wants a whole number from 0 to 100, not '101' (--help lists the options)", "", "" },
        BadDay { "MissingPackage", { "/nonexistent/package.upg" }, 3,
            "no such package: /nonexistent/package.upg", "", "" },
        BadDay { "NotAPlugin", { "--plugin", UPGRADE_SIM_GOLDEN }, 3,
            "cannot load plug-in: " UPGRADE_SIM_GOLDEN " is not an ELF shared object", "", "" }),
    [](const ::testing::TestParamInfo<BadDay>& param) { return std::string(param.param.name); });

TEST_F(UpgradeSimProgram, DowngradeGoesOnWhenAllowed)
{
    const SimRun run = runSim({ Small, "--device-version", "2.0.0", "--allow-downgrade" });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.lastBoxLine(), QStringLiteral("  box  success  Device updated successfully."));
}

TEST_F(UpgradeSimProgram, HelpNamesTheExitCodesAndTheLogPolicy)
{
    const SimRun run = runSim({ "--help" });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Exit codes: 0 upgraded"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("--verbose prints every log line"))) << run.out.toStdString();
}

// Every message is one trace line with its decoded payload, and the
// plug-in's log lines come between them.
TEST_F(UpgradeSimProgram, TraceShowsEveryMessageDecoded)
{
    const SimRun run = runSim({ Small, "--trace", "--progress-step", "50" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList expected = {
        "0xfc000029 getUpgradeFileInfo  reply  upgradeviewmodel -> uistandin  size 2  flags 0  typeMatched 1 "
        " downGrade 0",
        "0xfc020019 verifyResult  post  upgradeviewmodel -> uistandin  size 1  flags 0  result 1",
        "0xfc080003 upgradeProgress  send  devicestandin -> upgradeviewmodel  size 40  flags 9  nodeId 1  "
        "status 1  "
        "progress 50  parts [100,0,0]",
        "0xfc02001e messageBox  send  upgradeviewmodel -> uistandin  size 812  flags 9  box func code(1), "
        "box type(1), "
        "total rate(-1), sub rate(0), visiable(1), can revoke(0), tip time(2000), text(Device updated "
        "successfully.), "
        "btn text(), second btn(),currentStatus(2), isLocal(0), bAccept(0),deviceStatus(1)",
        "0xfc0c0c08 upgradeFinished  send  upgradeviewmodel -> upgradeviewmodel  size 0  flags 9",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(run.out.contains(QStringLiteral(" ms  ") + line + QLatin1Char('\n')))
            << line.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("\nlog  warning  read file size:"))));
    EXPECT_TRUE(run.out.contains(QRegularExpression(
        QStringLiteral("startUpgrade  command  upgradeviewmodel -> devicestandin  size 24  flags 0  entries "
                       "\\[\\{\"filePath\":\"/[^\"]+/vesk-29974-1.2.0.upg\",\"nodeId\":1\\}\\]\n"))));
}

// Any change to the plug-in's traffic on the default road shows up here as a
// diff. UPGRADE_SIM_UPDATE_GOLDEN=1 rewrites the committed transcript.
TEST_F(UpgradeSimProgram, TranscriptOfTheDemoMatchesTheGolden)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString path = scratch.filePath(QStringLiteral("demo.jsonl"));
    // The demo's folder under /tmp keeps the path payloads' sizes the same.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    const SimRun run = runSim({ "--transcript", path }, environment);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QString actual = simtesting::normaliseTranscript(QString::fromUtf8(written.readAll()));
    QFile golden(QStringLiteral(UPGRADE_SIM_GOLDEN));
    if (qEnvironmentVariableIsSet("UPGRADE_SIM_UPDATE_GOLDEN")) {
        ASSERT_TRUE(golden.open(QIODevice::WriteOnly | QIODevice::Truncate));
        golden.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly)) << UPGRADE_SIM_GOLDEN;
    const QStringList want = QString::fromUtf8(golden.readAll()).split(QLatin1Char('\n'));
    const QStringList got = actual.split(QLatin1Char('\n'));
    for (int i = 0; i < qMin(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i].toStdString(), want[i].toStdString()) << "transcript line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
}

// Memory after the first and the last of 500 roads, as the program reports
// it: what a run leaves behind must not pile up. The live heap is judged
// everywhere and tightly (a block kept per run shows at once); the resident
// figure only natively without sanitizers, where it is the program's own.
TEST_F(UpgradeSimProgram, SoakOf500RunsKeepsMemoryFlat)
{
    const SimRun run = runSim({ Small, "--repeat", "500" });
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("runs        500, all ended alike\n")));
    const auto growth = [&run](const char* pattern) {
        const QRegularExpressionMatch figures = QRegularExpression(QLatin1String(pattern)).match(run.out);
        EXPECT_TRUE(figures.hasMatch()) << run.out.toStdString();
        EXPECT_GT(figures.captured(1).toLongLong(), 0) << run.out.toStdString();
        return figures.captured(2).toLongLong() - figures.captured(1).toLongLong();
    };
    EXPECT_LT(growth("heap        in use (\\d+) KiB after run 1, (\\d+) KiB after run 500"), 64)
        << run.out.toStdString();
    const qint64 resident = growth("memory      resident (\\d+) KiB after run 1, (\\d+) KiB after run 500");
#if !defined(UPGRADE_SIM_UNDER_EMULATOR) && !defined(UPGRADE_TEST_SANITIZED)
    EXPECT_LT(resident, 1024) << run.out.toStdString();
#else
    // The emulator's code cache, or the sanitizer's allocator and shadow
    // memory, count as resident here.
    (void)resident;
#endif
}

} // namespace
