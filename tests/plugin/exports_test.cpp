#include "elffile.h"

#include "testing/hostfixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace {

using testing_support::ElfFile;

class PluginFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(elf.load(testing_support::pluginPath())) << elf.errorString().toStdString(); }

    ElfFile elf;
};

// Everything else stays hidden so that plug-ins of one host never bind to
// each other's copies of shared code.
TEST_F(PluginFileTest, ExportsExactlyPluginfoAndPluginit)
{
    QStringList symbols = elf.exportedSymbols();
    symbols.sort();
    EXPECT_EQ(symbols.join(' ').toStdString(), "pluginfo pluginit");
}

TEST_F(PluginFileTest, CarriesItsSonameAndIsReachableUnderIt)
{
    EXPECT_EQ(elf.soname().toStdString(), "libupgradeviewmodel.so.1");
    const QFileInfo built(testing_support::pluginPath());
    EXPECT_TRUE(QFileInfo::exists(built.dir().filePath(elf.soname())));
}

} // namespace
