// The stand-in host's loader refuses a plug-in it cannot run with a one-line
// reason that names both builds, as the simulator's --plugin option reports
// it. The refused plug-ins are the real one of this build with its ELF header
// changed, so everything but the header is a real plug-in.
#include "standin/host/elfident.h"
#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "testing/hostfixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <elf.h>

#include <iostream>

namespace {

using Patches = std::vector<std::pair<int, int>>;

// A machine other than the one this test runs on, written at e_machine
// (after e_ident and e_type, in either ELF class).
Patches foreignMachinePatches()
{
    const int foreign = Standin::hostElfIdent().machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
    return {{EI_NIDENT + 2, foreign & 0xff}, {EI_NIDENT + 3, foreign >> 8}};
}

class ForeignPluginTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A copy of this build's plug-in with the given bytes overwritten, or
    // the given bytes alone.
    QString written(const QString& name, const Patches& patches, const QByteArray& bytes = {})
    {
        QFile source(testing_support::pluginPath());
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        QByteArray image = bytes.isEmpty() ? source.readAll() : bytes;
        for (const auto& [offset, value] : patches)
            image[offset] = static_cast<char>(value);
        QFile target(dir.filePath(name));
        EXPECT_TRUE(target.open(QIODevice::WriteOnly));
        EXPECT_EQ(target.write(image), image.size());
        return target.fileName();
    }

    // The loader's reason for refusing the file, checked to be one line.
    std::string refusal(const QString& path)
    {
        EXPECT_FALSE(loader.load(path));
        EXPECT_FALSE(loader.isLoaded());
        EXPECT_FALSE(loader.errorString().contains(QLatin1Char('\n'))) << loader.errorString().toStdString();
        return loader.errorString().toStdString();
    }

    QTemporaryDir dir;
    Standin::StandinHost host;
    Standin::PluginLoader loader{host};
};

// UPGRADE_FOREIGN_PLUGIN names the other architecture's plug-in as its
// Debian package installs it (scripts/check-packages.sh); without it the test
// takes a copy of this build's plug-in marked for the other machine.
TEST_F(ForeignPluginTest, APluginForAnotherMachineIsRefusedWithAOneLineReason)
{
    const Patches patches = foreignMachinePatches();
    QString path = qEnvironmentVariable("UPGRADE_FOREIGN_PLUGIN");
    if (path.isEmpty())
        path = written(QStringLiteral("libupgradeviewmodel.so.1"), patches);
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const QString expected
        = QStringLiteral("cannot load plug-in: %1 is built for %2 64-bit little-endian, "
                         "this host runs %3 64-bit little-endian")
              .arg(path, Standin::elfMachineName(patches[0].second | patches[1].second << 8),
                   Standin::elfMachineName(Standin::hostElfIdent().machine));
    EXPECT_EQ(refusal(path), expected.toStdString());
    std::cout << "loader says: " << loader.errorString().toStdString() << std::endl;
}

// Whatever else the loader refuses, it says why in one line naming the file;
// a missing file keeps the dynamic loader's own reason.
TEST_F(ForeignPluginTest, EachRefusalNamesItsReason)
{
    const QString lib32 = written(QStringLiteral("lib32.so"), {{EI_CLASS, ELFCLASS32}});
    const QString notes = written(QStringLiteral("notes.so"), {}, "INPUT(libupgradeviewmodel.so.1)\n");
    const QString absent = dir.filePath(QStringLiteral("absent.so"));
    const QString host = Standin::elfMachineName(Standin::hostElfIdent().machine);
    EXPECT_EQ(refusal(lib32),
              QStringLiteral("cannot load plug-in: %1 is built for %2 32-bit little-endian, "
                             "this host runs %2 64-bit little-endian")
                  .arg(lib32, host)
                  .toStdString());
    EXPECT_EQ(refusal(notes),
              QStringLiteral("cannot load plug-in: %1 is not an ELF shared object").arg(notes).toStdString());
    EXPECT_EQ(refusal(absent).rfind(QStringLiteral("cannot load plug-in: %1: ").arg(absent).toStdString(), 0),
              0u);
}

} // namespace
