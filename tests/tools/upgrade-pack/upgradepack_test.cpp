// upgrade-pack create, info and verify, run as a separate program.

#include "packagewriter.h"
#include "upgrade/upgradeviewmodel.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct ToolRun
{
    int exitCode;
    QString out;
    QString err;
};

ToolRun upgradePack(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(UPGRADE_PACK), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// One error line naming the program, nothing on stdout.
void expectOneErrorLine(const ToolRun& run, int exitCode, const QString& containing)
{
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.startsWith(QLatin1String("upgrade-pack: "))) << run.err.toStdString();
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(containing))
        << run.err.toStdString() << " lacks " << containing.toStdString();
}

QByteArray imageBytes(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>(seed + i * 7 + (i >> 9));
    return data;
}

class UpgradePackTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kernel = imageBytes(5000, 1);
        rootfs = imageBytes(6 * 1024 * 1024 + 3, 2);
        writeFile(QStringLiteral("kernel.img"), kernel);
        writeFile(QStringLiteral("rootfs.img"), rootfs);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray readFile(const QString& name)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    ToolRun create(const QString& output = QStringLiteral("pkg.bin"))
    {
        return upgradePack({"create", "-o", path(output), "--main-version", "3.1.0", "--data-version",
                            "3.1.7", "--type", "kernel", "--type", "rootfs", path("kernel.img"),
                            path("rootfs.img")});
    }

    QTemporaryDir dir;
    QByteArray kernel;
    QByteArray rootfs;
};

TEST_F(UpgradePackTest, CreatedPackageVerifiesOnTheToolAndTheDevice)
{
    const ToolRun created = create();
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    const ToolRun verified = upgradePack({"verify", path("pkg.bin")});
    EXPECT_EQ(verified.exitCode, 0) << verified.err.toStdString();
    EXPECT_TRUE(verified.err.isEmpty());
    EXPECT_TRUE(verified.out.contains(QLatin1String("2 images")));

    Upgrade::UpgradeViewModel device;
    EXPECT_TRUE(device.upgradeCheck(path("pkg.bin")));
}

TEST_F(UpgradePackTest, InfoJsonShowsSizesAndLowerCaseDigests)
{
    ASSERT_EQ(create().exitCode, 0);
    const ToolRun info = upgradePack({"info", "--json", path("pkg.bin")});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(info.out.toUtf8()).object();

    const QJsonArray images = object.value("images").toArray();
    ASSERT_EQ(images.size(), 2);
    const QByteArray data[] = {kernel, rootfs};
    const char* types[] = {"kernel", "rootfs"};
    qint64 offset = 12 + object.value("header").toObject().value("length").toInt()
        + object.value("checkBlock").toObject().value("length").toInt();
    for (int i = 0; i < 2; ++i) {
        const QJsonObject image = images[i].toObject();
        const QString md5 = Upgrade::PackageWriter::md5Hex(data[i]);
        EXPECT_EQ(image.value("type").toString(), QLatin1String(types[i]));
        EXPECT_EQ(image.value("md5").toString(), md5);
        EXPECT_EQ(md5, md5.toLower());
        EXPECT_EQ(image.value("dataLength").toVariant().toLongLong(), data[i].size());
        EXPECT_EQ(image.value("size").toVariant().toLongLong(),
                  8 + image.value("subHeaderLength").toVariant().toLongLong() + data[i].size());
        EXPECT_EQ(image.value("offset").toVariant().toLongLong(), offset);
        offset += image.value("size").toVariant().toLongLong();
    }
    EXPECT_EQ(object.value("size").toVariant().toLongLong(), offset);
    // Sizes travel as decimal strings; the check block's digest defaults to the first image's.
    const QString checkText = object.value("checkBlock").toObject().value("text").toString();
    EXPECT_TRUE(checkText.contains(
        QStringLiteral("\"size\":\"%1\"").arg(images[1].toObject().value("size").toVariant().toLongLong())));
    EXPECT_EQ(object.value("checkBlock").toObject().value("md5").toString(),
              Upgrade::PackageWriter::md5Hex(kernel));
}

TEST_F(UpgradePackTest, InfoTextListsTheImageTable)
{
    ASSERT_EQ(create().exitCode, 0);
    const ToolRun info = upgradePack({"info", path("pkg.bin")});
    ASSERT_EQ(info.exitCode, 0);
    EXPECT_TRUE(info.out.contains(QRegularExpression("images: +2\n")));
    EXPECT_TRUE(info.out.contains(QStringLiteral("#1 kernel: offset ")));
    EXPECT_TRUE(info.out.contains(QStringLiteral("#2 rootfs: offset ")));
    EXPECT_TRUE(info.out.contains(Upgrade::PackageWriter::md5Hex(rootfs)));
}

struct VerifyFailure
{
    const char* name;
    std::function<QByteArray(const QByteArray& package, const QByteArray& kernel)> damage;
    QString reason;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const VerifyFailure& c, std::ostream* os)
{
    *os << c.name;
}

class UpgradePackVerifyFailureTest : public UpgradePackTest, public testing::WithParamInterface<VerifyFailure>
{
};

TEST_P(UpgradePackVerifyFailureTest, ExitsOneWithOneLine)
{
    ASSERT_EQ(create().exitCode, 0);
    writeFile(QStringLiteral("damaged.bin"), GetParam().damage(readFile(QStringLiteral("pkg.bin")), kernel));
    expectOneErrorLine(upgradePack({"verify", path("damaged.bin")}), 1, GetParam().reason);
}

// The last byte of the file is the second image's last data byte.
QByteArray flipLastByte(QByteArray package)
{
    package[package.size() - 1] = static_cast<char>(package.at(package.size() - 1) ^ 0x20);
    return package;
}

std::string failureName(const testing::TestParamInfo<VerifyFailure>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Damages, UpgradePackVerifyFailureTest,
    testing::Values(
        VerifyFailure{"WrongMagic",
                      [](const QByteArray& p, const QByteArray&) { return QByteArray("Vesq") + p.mid(4); },
                      QStringLiteral("not an upgrade package")},
        VerifyFailure{"WrongImageMagic",
                      [](const QByteArray& p, const QByteArray& kernel) {
                          QByteArray damaged = p;
                          const int second = damaged.indexOf(kernel) + kernel.size();
                          return damaged.replace(second, 4, "VESK");
                      },
                      QStringLiteral("image 2 of 2: record does not start with \"Vesk\"")},
        VerifyFailure{"Truncated",
                      [](const QByteArray& p, const QByteArray&) { return p.left(p.size() - 10); },
                      QStringLiteral("(file ends 10 bytes early)")},
        VerifyFailure{"Empty", [](const QByteArray&, const QByteArray&) { return QByteArray(); },
                      QStringLiteral("not an upgrade package")}),
    failureName);

TEST_F(UpgradePackTest, MismatchLineNamesExpectedAndComputedDigests)
{
    ASSERT_EQ(create().exitCode, 0);
    writeFile(QStringLiteral("damaged.bin"), flipLastByte(readFile(QStringLiteral("pkg.bin"))));
    QByteArray changed = rootfs;
    changed[changed.size() - 1] = static_cast<char>(changed.at(changed.size() - 1) ^ 0x20);
    const ToolRun run = upgradePack({"verify", path("damaged.bin")});
    expectOneErrorLine(
        run, 1,
        QStringLiteral("expected \"%1\", computed \"%2\"")
            .arg(Upgrade::PackageWriter::md5Hex(rootfs), Upgrade::PackageWriter::md5Hex(changed)));
}

TEST_F(UpgradePackTest, FailedCreateLeavesNothingBehind)
{
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    const ToolRun run
        = upgradePack({"create", "-o", path("pkg.bin"), path("kernel.img"), path("missing.img")});
    expectOneErrorLine(run, 1, QStringLiteral("missing.img"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);

    const ToolRun unwritable = upgradePack({"create", "-o", path("no/such/dir/pkg.bin"), path("kernel.img")});
    expectOneErrorLine(unwritable, 1, QStringLiteral("cannot write"));
}

struct UsageCase
{
    const char* name;
    QStringList arguments;
    QString reason;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const UsageCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpgradePackUsageTest : public testing::TestWithParam<UsageCase>
{
};

TEST_P(UpgradePackUsageTest, ExitsTwoWithOneLine)
{
    expectOneErrorLine(upgradePack(GetParam().arguments), 2, GetParam().reason);
}

std::string usageName(const testing::TestParamInfo<UsageCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Usage, UpgradePackUsageTest,
    testing::Values(UsageCase{"NoCommand", {}, QStringLiteral("no command given")},
                    UsageCase{"UnknownCommand", {"pack"}, QStringLiteral("unknown command 'pack'")},
                    UsageCase{
                        "CreateWithoutOutput", {"create", "a.img"}, QStringLiteral("--output is required")},
                    UsageCase{"CreateWithoutImages", {"create", "-o", "x.bin"}, QStringLiteral("image file")},
                    UsageCase{"CreateBadModelId",
                              {"create", "-o", "x.bin", "--model-id", "abc", "a.img"},
                              QStringLiteral("--model-id")},
                    UsageCase{"MoreTypesThanImages",
                              {"create", "-o", "x.bin", "--type", "a", "--type", "b", "a.img"},
                              QStringLiteral("--type")},
                    UsageCase{"UnknownOption", {"verify", "--fast", "x.bin"}, QStringLiteral("fast")},
                    UsageCase{"VerifyWithoutPackage", {"verify"}, QStringLiteral("package")}),
    usageName);

TEST(UpgradePackMissingFileTest, VerifyAndInfoNameTheFile)
{
    expectOneErrorLine(upgradePack({"verify", "/nonexistent/pkg.bin"}), 1, QStringLiteral("cannot open"));
    expectOneErrorLine(upgradePack({"info", "/nonexistent/pkg.bin"}), 1, QStringLiteral("cannot open"));
}

} // namespace
