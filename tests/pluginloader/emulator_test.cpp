// Tests start programs of the build with QProcess; in the cross build this
// runs under qemu-aarch64, where both the fork and the exec of an arm64
// program need the emulator's shim. Natively the same test holds trivially.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <cstdlib>

namespace {

// Started as a child with UPGRADE_TEST_CHILD_EXIT set, this program writes a
// line to its error output and exits with that code before any test runs.
const bool childExitRequested = [] {
    if (const char* code = std::getenv("UPGRADE_TEST_CHILD_EXIT")) {
        std::fputs("child says goodbye\n", stderr);
        std::fflush(stderr);
        std::_Exit(std::atoi(code));
    }
    return false;
}();

QString thisProgram()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

// Runs the program to its end; a first start under the emulator is slow.
void runToEnd(QProcess& process, const QString& program, const QStringList& arguments)
{
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForFinished(300000)) << process.errorString().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << process.errorString().toStdString();
}

TEST(ChildProcess, AProgramOfThisBuildStartsWithQProcess)
{
    ASSERT_FALSE(thisProgram().isEmpty());
    QProcess process;
    runToEnd(process, thisProgram(),
             {QStringLiteral("--gtest_list_tests"), QStringLiteral("--gtest_filter=ChildProcess.*")});
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QByteArray listing = process.readAllStandardOutput();
    EXPECT_TRUE(listing.contains("AProgramOfThisBuildStartsWithQProcess")) << listing.toStdString();
}

TEST(ChildProcess, ExitCodeAndErrorOutputOfAChildArrive)
{
    ASSERT_FALSE(childExitRequested);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("UPGRADE_TEST_CHILD_EXIT"), QStringLiteral("42"));
    process.setProcessEnvironment(environment);
    runToEnd(process, thisProgram(), {});
    EXPECT_EQ(process.exitCode(), 42);
    EXPECT_EQ(process.readAllStandardError(), QByteArray("child says goodbye\n"));
    EXPECT_EQ(process.readAllStandardOutput(), QByteArray());
}

// The shell of system() is a native program: it runs, and the arm64 shim is
// not forced on it (no loader complaint on its error output).
TEST(ChildProcess, TheShellRunsWithoutTheShim)
{
    QProcess process;
    runToEnd(process, QStringLiteral("/bin/sh"),
             {QStringLiteral("-c"), QStringLiteral("echo ${LD_PRELOAD:-none}; exit 7")});
    EXPECT_EQ(process.exitCode(), 7);
    EXPECT_EQ(process.readAllStandardOutput(), QByteArray("none\n"));
    EXPECT_EQ(process.readAllStandardError(), QByteArray());
    EXPECT_EQ(std::system("exit 3"), 3 << 8);
}

} // namespace
