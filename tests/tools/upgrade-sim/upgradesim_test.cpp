// upgrade-sim as a user runs it: the built program in a child process, its
// output not a terminal.
#include "demopackage.h"
#include "residentmemory.h"
#include "signingkey.h"
#include "testing/namedcase.h"
#include "testing/packagefixture.h"
#include "testing/programrun.h"
#include "upgrade/signaturerecord.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <memory>

namespace {

using testing_support::ProgramRun;
using testing_support::runProgram;

const QString Sim = QStringLiteral(UPGRADE_SIM_PROGRAM);

// The last box line of the run's output; empty when it showed no box.
QString lastBoxLine(const ProgramRun& run)
{
    const QStringList boxes = run.outLines().filter(QRegularExpression(QStringLiteral("^  box")));
    return boxes.isEmpty() ? QString() : boxes.last();
}

// Packages the user might hand over, written once for the whole suite.
class UpgradeSimProgram : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        fixture = std::make_unique<PackageFixture>();
        writeOtherModel();
        writeCorrupted();
        fixture->writeBytes(Upgrade::SigningKey::generate().publicKey().pem(), QStringLiteral("key.pem"));
        writeSigned();
    }

    static void TearDownTestSuite() { fixture.reset(); }

    static QString signerId;
    static std::unique_ptr<PackageFixture> fixture;

private:
    static void writeOtherModel()
    {
        Upgrade::PackageHeader header;
        header.modelId = 12345;
        header.mainVersion = header.dataVersion = QStringLiteral("1.2.0");
        Upgrade::PackageContents contents = PackageFixture::package({4096});
        contents.header = Upgrade::PackageWriter::headerJson(header);
        fixture->write(contents, QStringLiteral("other-model.upg"));
    }

    static void writeSigned()
    {
        const Upgrade::SigningKey signer = Upgrade::SigningKey::generate();
        fixture->writeBytes(signer.publicKey().pem(), QStringLiteral("signer.pem"));
        signerId = Upgrade::Package::keyIdText(signer.publicKey().id());
        Sim::DemoPackage demo;
        ASSERT_TRUE(demo.create(64 * 1024, &signer)) << demo.errorString().toStdString();
        ASSERT_TRUE(QFile::copy(demo.path(), fixture->path(QStringLiteral("signed.upg"))));
    }

    // The demo with one byte of its last image's data changed.
    static void writeCorrupted()
    {
        Sim::DemoPackage demo;
        ASSERT_TRUE(demo.create(64 * 1024)) << demo.errorString().toStdString();
        ASSERT_TRUE(QFile::copy(demo.path(), fixture->path(QStringLiteral("corrupted.upg"))));
        QByteArray bytes = fixture->read(QStringLiteral("corrupted.upg"));
        bytes[bytes.size() - 100] = char(bytes.at(bytes.size() - 100) ^ 0x5a);
        fixture->writeBytes(bytes, QStringLiteral("corrupted.upg"));
    }
};

std::unique_ptr<PackageFixture> UpgradeSimProgram::fixture;
QString UpgradeSimProgram::signerId;

struct Road : testing_support::NamedCase
{
    // "<other-model.upg>", "<corrupted.upg>", "<key.pem>", "<signed.upg>" and its "<signer.pem>"
    // stand for the suite's files, "<signer-id>" for that key's id
    QStringList arguments;
    int exitCode;
    QString errorLine; // the whole stderr without the program's prefix; empty: nothing on stderr
    QStringList stdoutLines; // whole lines the road must have printed
    QString lastBox; // empty: no box at all
};

class UpgradeSimRoad : public UpgradeSimProgram, public ::testing::WithParamInterface<Road>
{
protected:
    static QStringList filledIn(QStringList list)
    {
        list.replaceInStrings(QRegularExpression(QStringLiteral("<([^>]+\\.[a-z]+)>")),
                              fixture->path(QStringLiteral("\\1")));
        return list.replaceInStrings(QStringLiteral("<signer-id>"), signerId);
    }
};

TEST_P(UpgradeSimRoad, EndsWithItsExitCodeLinesAndBox)
{
    const Road& road = GetParam();
    const ProgramRun run = runProgram(Sim, filledIn(road.arguments));
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, road.exitCode) << run.out.toStdString() << run.err.toStdString();
    const QString err = road.errorLine.isEmpty() ? QString() : "upgrade-sim: " + road.errorLine + '\n';
    EXPECT_EQ(run.err.toStdString(), err.toStdString());
    for (const QString& line : filledIn(road.stdoutLines))
        EXPECT_TRUE(run.outLines().contains(line)) << line.toStdString() << "\n" << run.out.toStdString();
    EXPECT_EQ(lastBoxLine(run).toStdString(), road.lastBox.toStdString());
}

const QString Small = QStringLiteral("--demo-size=64K");
const QString Success = QStringLiteral("  box  success  Device updated successfully.");

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rehearsals, UpgradeSimRoad,
    ::testing::Values(Road { { "DefaultDemo" }, {}, 0, "",
                          { "file info   device type matches: yes, downgrade: no", "verify      verified",
                              "upgraded    the device reports firmware 1.2.0" },
                          Success },
        Road { { "RefuseStart" }, { Small, "--refuse-start" }, 1,
            "upgrade refused: the device side did not accept the start", { "start       refused" },
            "  box  withdrawn" },
        Road { { "FailAt40" }, { Small, "--fail-at", "40" }, 1,
            "upgrade failed: the device side reported a failure at 40% (box: Device update failed.)",
            { "  box  total  35%  sub  70%  Updating..." }, "  box  failure  Device update failed." },
        Road { { "NoNode" }, { Small, "--no-node" }, 1,
            "upgrade not started: the device side reported no node", { "start       no start result" }, "" },
        Road { { "OtherModel" }, { "<other-model.upg>" }, 2,
            "package rejected: not made for this device type (Vesk, model 29974)",
            { "file info   device type matches: no, downgrade: -" }, "" },
        Road { { "Corrupted" }, { "<corrupted.upg>" }, 2,
            "package rejected: verification failed (package structure or an image digest)",
            { "verify      not verified" }, "" },
        Road { { "SignedDemo" }, { Small, "--signed" }, 0, "", {}, Success },
        // Only a plug-in that checked the signature makes the record a signer.
        Road { { "SignedPackageUnchecked" }, { "<signed.upg>" }, 0, "",
            { "verify      verified (signature record <signer-id> not checked: the plug-in trusts no key)" },
            Success },
        Road { { "SignedPackageChecked" }, { "<signed.upg>", "--trust", "<signer.pem>" }, 0, "",
            { "verify      verified (signed by <signer-id>)" }, Success },
        Road { { "UnsignedDemoWithTrustedKey" }, { Small, "--trust", "<key.pem>" }, 2,
            "package rejected: verification failed (the plug-in logged: signature check fail: no record)",
            { "verify      not verified" }, "" },
        Road { { "StorageFaultInCheckBlock" }, { Small, "--storage-fault", "100" }, 2,
            "package rejected: verification failed (the plug-in logged: Error reading file:  \"Input/output "
            "error\")",
            { "verify      not verified" }, "" },
        Road { { "StorageFaultInHeader" }, { Small, "--storage-fault", "20" }, 2,
            "package rejected: not made for this device type (the plug-in logged: upgrade file is invalid, "
            "head json decode failed. error at line :0 col :12 msg:not a valid quote string!)",
            { "file info   device type matches: no, downgrade: -" }, "" },
        Road { { "Downgrade" }, { Small, "--device-version", "2.0.0" }, 2,
            "package rejected: it would lower the device's firmware from 2.0.0 to 1.2.0 (--allow-downgrade "
            "goes on)",
            { "file info   device type matches: yes, downgrade: yes" }, "" },
        Road { { "FailAtOutOfRange" }, { "--fail-at", "101" }, 3,
            "--fail-at wants a whole number from 0 to 100, not '101' (--help lists the options)", {}, "" },
        Road { { "NotAPlugin" }, { "--plugin", UPGRADE_SIM_GOLDEN }, 3,
            "cannot load plug-in: " UPGRADE_SIM_GOLDEN " is not an ELF shared object", {}, "" }),
    testing_support::caseName<Road>);
// clang-format on

// Every message is one trace line with its decoded payload, and the
// plug-in's log lines come between them.
TEST_F(UpgradeSimProgram, TraceShowsEveryMessageDecoded)
{
    const ProgramRun run = runProgram(Sim, {Small, "--trace", "--progress-step", "50"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // The golden transcript holds the same payloads as JSON.
    EXPECT_TRUE(run.out.contains(QStringLiteral(" ms  0xfc080003 upgradeProgress  send  devicestandin -> "
                                                "upgradeviewmodel  size 40  flags 9  nodeId 1  status 1  "
                                                "progress 50  parts [100,0,0]\n")));
    EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("\nlog  warning  read file size:"))));
}

// What differs between runs (times, the demo's temporary folder, query
// wrapper addresses) replaced.
QString normaliseTranscript(QString text)
{
    text.replace(QRegularExpression(QStringLiteral("\"time_ms\":[0-9.]+")), QStringLiteral("\"time_ms\":0"));
    text.replace(QRegularExpression(QStringLiteral("/[^\"]*/upgrade-sim-[A-Za-z0-9]+/")),
                 QStringLiteral("<demo>/"));
    return text.replace(QRegularExpression(QStringLiteral("\"address\":\"0x[0-9a-f]+\"")),
                        QStringLiteral("\"address\":\"<address>\""));
}

// Any change to the plug-in's traffic on the default road shows up here as a
// diff. UPGRADE_SIM_UPDATE_GOLDEN=1 rewrites the committed transcript.
TEST_F(UpgradeSimProgram, TranscriptOfTheDemoMatchesTheGolden)
{
    const QString path = fixture->path(QStringLiteral("demo.jsonl"));
    // The demo's folder under /tmp keeps the path payloads' sizes the same.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    const ProgramRun run = runProgram(Sim, {"--transcript", path}, environment);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString actual = normaliseTranscript(QString::fromUtf8(fixture->read("demo.jsonl")));
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
    const ProgramRun run = runProgram(Sim, {Small, "--repeat", "500"});
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
#ifdef UPGRADE_SIM_UNDER_EMULATOR
    // The emulator's code cache counts as resident here.
    const bool residentIsOwn = false;
#else
    const bool residentIsOwn = !Sim::ResidentMemory::addressSanitized();
#endif
    if (residentIsOwn) {
        EXPECT_LT(resident, 1024) << run.out.toStdString();
    }
}

} // namespace
