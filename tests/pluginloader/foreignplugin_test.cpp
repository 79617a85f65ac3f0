// The stand-in host's loader refuses a plug-in built for another machine with
// a one-line reason that names both machines, as the simulator's --plugin
// option reports it. The foreign plug-in is the real one of this build with
// its ELF header changed, so everything but the header is a real plug-in.
#include "standin/host/elfident.h"
#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "testing/hostfixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <elf.h>

#include <iostream>

namespace {

// Offset of e_machine: after e_ident and e_type, in either ELF class.
constexpr int machineOffset = EI_NIDENT + 2;

class ForeignPluginTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A copy of this build's plug-in with the given bytes overwritten.
    QString patchedCopy(const QString& name, const std::vector<std::pair<int, unsigned char>>& patches)
    {
        QFile source(testing_support::pluginPath());
        EXPECT_TRUE(source.open(QIODevice::ReadOnly)) << testing_support::pluginPath().toStdString();
        QByteArray bytes = source.readAll();
        EXPECT_GT(bytes.size(), 64);
        for (const auto& [offset, value] : patches)
            bytes[offset] = static_cast<char>(value);
        const QString path = dir.filePath(name);
        QFile target(path);
        EXPECT_TRUE(target.open(QIODevice::WriteOnly));
        EXPECT_EQ(target.write(bytes), bytes.size());
        return path;
    }

    // A machine other than the one this test runs on.
    static int foreignMachine()
    {
        return Standin::hostElfIdent().machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
    }

    static QString hostMachineName() { return Standin::elfMachineName(Standin::hostElfIdent().machine); }

    QTemporaryDir dir;
    Standin::StandinHost host;
    Standin::PluginLoader loader{host};
};

TEST_F(ForeignPluginTest, AnUnchangedCopyLoads)
{
    const QString path = patchedCopy(QStringLiteral("libupgradeviewmodel.so.1"), {});
    ASSERT_TRUE(loader.load(path)) << loader.errorString().toStdString();
    EXPECT_TRUE(loader.isLoaded());
    EXPECT_TRUE(loader.errorString().isEmpty());
    loader.unload();
}

// UPGRADE_FOREIGN_PLUGIN names the other architecture's plug-in as its
// Debian package installs it (scripts/check-packages.sh); without it the test
// takes a copy of this build's plug-in marked for the other machine.
TEST_F(ForeignPluginTest, APluginForAnotherMachineIsRefusedWithAOneLineReason)
{
    const int foreign = foreignMachine();
    QString path = qEnvironmentVariable("UPGRADE_FOREIGN_PLUGIN");
    if (path.isEmpty())
        path = patchedCopy(QStringLiteral("libupgradeviewmodel.so.1"),
                           {{machineOffset, foreign & 0xff}, {machineOffset + 1, foreign >> 8}});
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_FALSE(loader.load(path));
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_EQ(loader.handler(), nullptr);
    const QString expected = QStringLiteral("cannot load plug-in: %1 is built for %2 64-bit little-endian, "
                                            "this host runs %3 64-bit little-endian")
                                 .arg(path, Standin::elfMachineName(foreign), hostMachineName());
    EXPECT_EQ(loader.errorString().toStdString(), expected.toStdString());
    EXPECT_FALSE(loader.errorString().contains(QLatin1Char('\n')));
    std::cout << "loader says: " << loader.errorString().toStdString() << std::endl;
}

TEST_F(ForeignPluginTest, TheLoaderIsUsableAgainAfterARefusal)
{
    const int foreign = foreignMachine();
    const QString wrong = patchedCopy(QStringLiteral("wrong.so"),
                                      {{machineOffset, foreign & 0xff}, {machineOffset + 1, foreign >> 8}});
    EXPECT_FALSE(loader.load(wrong));
    ASSERT_TRUE(loader.load(testing_support::pluginPath())) << loader.errorString().toStdString();
    EXPECT_TRUE(loader.errorString().isEmpty());
    EXPECT_NE(loader.handler(), nullptr);
    loader.unload();
}

TEST_F(ForeignPluginTest, A32BitPluginIsRefused)
{
    const QString path = patchedCopy(QStringLiteral("lib32.so"), {{EI_CLASS, ELFCLASS32}});
    EXPECT_FALSE(loader.load(path));
    EXPECT_EQ(loader.errorString().toStdString(),
              QStringLiteral("cannot load plug-in: %1 is built for %2 32-bit little-endian, "
                             "this host runs %2 64-bit little-endian")
                  .arg(path, hostMachineName())
                  .toStdString());
}

TEST_F(ForeignPluginTest, ABigEndianPluginIsRefused)
{
    const QString path = patchedCopy(QStringLiteral("libbe.so"), {{EI_DATA, ELFDATA2MSB}});
    EXPECT_FALSE(loader.load(path));
    EXPECT_TRUE(loader.errorString().contains(QStringLiteral("big-endian, this host runs")))
        << loader.errorString().toStdString();
}

TEST_F(ForeignPluginTest, AFileThatIsNotElfIsRefused)
{
    const QString path = dir.filePath(QStringLiteral("notes.so"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("INPUT(libupgradeviewmodel.so.1)\n");
    file.close();
    EXPECT_FALSE(loader.load(path));
    EXPECT_EQ(loader.errorString().toStdString(),
              QStringLiteral("cannot load plug-in: %1 is not an ELF shared object").arg(path).toStdString());
}

TEST_F(ForeignPluginTest, AMissingFileKeepsTheDynamicLoadersReason)
{
    const QString path = dir.filePath(QStringLiteral("absent.so"));
    EXPECT_FALSE(loader.load(path));
    EXPECT_TRUE(loader.errorString().startsWith(QStringLiteral("cannot load plug-in: ") + path))
        << loader.errorString().toStdString();
    EXPECT_FALSE(loader.errorString().contains(QStringLiteral("is built for")));
}

} // namespace
