#include "standin/host/elfident.h"
#include "testing/hostfixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <elf.h>

namespace {

// The plug-in of this build is made for the machine the tests run on: under
// the emulator both are AArch64, natively both are the workstation's.
TEST(ElfIdent, ThePluginOfThisBuildMatchesTheRunningCode)
{
    const Standin::ElfIdent plugin = Standin::readElfIdent(testing_support::pluginPath());
    ASSERT_TRUE(plugin.readable);
    ASSERT_TRUE(plugin.elf);
    EXPECT_EQ(plugin.elfClass, ELFCLASS64);
    EXPECT_EQ(plugin.dataEncoding, ELFDATA2LSB);
    EXPECT_EQ(plugin.machine, Standin::hostElfIdent().machine);
    EXPECT_TRUE(Standin::elfMismatch(testing_support::pluginPath()).isEmpty());
}

class ElfIdentOfFile : public ::testing::Test
{
protected:
    QString written(const QByteArray& bytes)
    {
        EXPECT_TRUE(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("header")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir dir;
};

TEST_F(ElfIdentOfFile, ReadsTheMachineInTheFilesByteOrder)
{
    QByteArray header(EI_NIDENT + 4, '\0');
    header.replace(0, SELFMAG, QByteArray(ELFMAG, SELFMAG));
    header[EI_CLASS] = ELFCLASS64;
    header[EI_DATA] = ELFDATA2MSB;
    header[EI_NIDENT + 3] = 0x16; // e_machine 0x0016 (S/390), big-endian
    const Standin::ElfIdent ident = Standin::readElfIdent(written(header));
    EXPECT_TRUE(ident.elf);
    EXPECT_EQ(ident.machine, EM_S390);
    EXPECT_EQ(ident.dataEncoding, ELFDATA2MSB);
}

TEST_F(ElfIdentOfFile, AShortFileIsElfWithoutAMachine)
{
    const QString path = written(QByteArray(ELFMAG, SELFMAG));
    const Standin::ElfIdent ident = Standin::readElfIdent(path);
    EXPECT_TRUE(ident.elf);
    EXPECT_EQ(ident.machine, 0);
    EXPECT_FALSE(Standin::elfMismatch(path).isEmpty());
}

TEST(ElfIdent, NamesTheMachinesOfBothBuilds)
{
    EXPECT_EQ(Standin::elfMachineName(EM_X86_64).toStdString(), "x86-64");
    EXPECT_EQ(Standin::elfMachineName(EM_AARCH64).toStdString(), "AArch64");
    EXPECT_EQ(Standin::elfMachineName(4321).toStdString(), "machine 4321");
}

} // namespace
