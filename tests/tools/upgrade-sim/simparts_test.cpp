#include "demopackage.h"
#include "logfilter.h"
#include "packagepeek.h"
#include "progressview.h"
#include "residentmemory.h"
#include "simoptions.h"
#include "trafficformatter.h"
#include "transferplan.h"

#include "protomodel/messageboxinfo.h"
#include "protomodel/upgradefileconfig.h"
#include "protomodel/upgradeprogress.h"
#include "standin/host/standinhost.h"
#include "testing/bytes.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

#include <memory>

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstring>

namespace {

using namespace Sim;
using testing_support::bytesOf;

// ---- Options -----------------------------------------------------------------

SimOptions parsed(QStringList arguments, SimOptions::Parse expected = SimOptions::Parse::Run)
{
    arguments.prepend(QStringLiteral("upgrade-sim"));
    SimOptions options;
    EXPECT_EQ(options.parse(arguments, QStringLiteral("/built/plugin.so")), expected)
        << options.error.toStdString();
    return options;
}

// The program's runs show the other options at work; these change no
// traffic and no exit code.
TEST(SimOptions, PaceDemoSizeAndVerboseReachTheirFields)
{
    const SimOptions options = parsed({"--pace", "3", "--demo-size", "64K", "--verbose"});
    EXPECT_EQ(options.paceMs, 3);
    EXPECT_EQ(options.demoSize, 65536);
    EXPECT_TRUE(options.verbose);
}

struct BadArguments
{
    QStringList arguments;
    const char* error;
};

class SimOptionsErrors : public ::testing::TestWithParam<BadArguments>
{
};

TEST_P(SimOptionsErrors, AreOneLineNamingTheOption)
{
    const SimOptions options = parsed(GetParam().arguments, SimOptions::Parse::Error);
    EXPECT_EQ(options.error.toStdString(), GetParam().error);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, SimOptionsErrors,
    ::testing::Values(
        BadArguments { { "--fail-at", "-1" }, "--fail-at wants a whole number from 0 to 100, not '-1'" },
        BadArguments {
            { "--fail-at", "forty" }, "--fail-at wants a whole number from 0 to 100, not 'forty'" },
        BadArguments {
            { "--progress-step", "0" }, "--progress-step wants a whole number from 1 to 100, not '0'" },
        BadArguments { { "--repeat", "0" }, "--repeat wants a whole number from 1 to 1000000, not '0'" },
        BadArguments { { "--reply-size", "65" }, "--reply-size wants a whole number from 0 to 64, not '65'" },
        BadArguments {
            { "--demo-size", "lots" }, "--demo-size wants a size such as 24M, 512K or 0, not 'lots'" },
        BadArguments {
            { "a.upg", "--demo-size", "1M" }, "--demo-size is for the demo package, not for 'a.upg'" },
        BadArguments { { "a.upg", "b.upg" }, "one package at most, got 2" },
        BadArguments { { "a.upg", "--signed" }, "--signed is for the demo package, not for 'a.upg'" },
        BadArguments { { "--trust", "k.pem", "--plugin", "p.so" },
            "--signed and --trust run the rehearsal build of the plug-in; --plugin cannot choose another" },
        BadArguments { { "--frobnicate" }, "Unknown option 'frobnicate'." }));
// clang-format on

TEST(SimOptions, SizesTakeKAndMSuffixes)
{
    const std::vector<std::pair<const char*, qint64>> table
        = {{"0", 0},       {"100", 100},      {"64K", 65536},
           {"64k", 65536}, {"24M", 24 << 20}, {"2048M", qint64(2048) << 20},
           {"2049M", -1},  {"-1", -1},        {"M", -1},
           {"1.5M", -1},   {"", -1}};
    for (const auto& row : table)
        EXPECT_EQ(SimOptions::parseSize(QString::fromLatin1(row.first)), row.second) << row.first;
}

// ---- Transfer plan -----------------------------------------------------------

TEST(TransferPlan, PartsFollowTheImagesOneAfterAnother)
{
    const TransferPlan plan({100, 100, 200}, 5, -1);
    const std::vector<std::pair<int, std::vector<int32_t>>> table
        = {{0, {0, 0, 0}},      {10, {40, 0, 0}},     {25, {100, 0, 0}},    {30, {100, 20, 0}},
           {50, {100, 100, 0}}, {60, {100, 100, 20}}, {99, {100, 100, 98}}, {100, {100, 100, 100}}};
    for (const auto& row : table)
        EXPECT_EQ(plan.partsAt(row.first), row.second) << row.first << "%";
}

struct PlanCase
{
    int step;
    int failAt;
    std::vector<std::pair<int32_t, int32_t>> reports; // status, progress
};

class TransferPlanReports : public ::testing::TestWithParam<PlanCase>
{
};

TEST_P(TransferPlanReports, RunUpByTheStepToTheEnd)
{
    const std::vector<PlannedReport> reports
        = TransferPlan({10, 30}, GetParam().step, GetParam().failAt).reports();
    std::vector<std::pair<int32_t, int32_t>> seen;
    for (const PlannedReport& report : reports)
        seen.emplace_back(report.status, report.progress);
    EXPECT_EQ(seen, GetParam().reports);
    EXPECT_EQ(reports.back().parts.size(), 2u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, TransferPlanReports,
    ::testing::Values(PlanCase { 25, -1, { { 1, 25 }, { 1, 50 }, { 1, 75 }, { 2, 100 } } },
        PlanCase { 30, -1, { { 1, 30 }, { 1, 60 }, { 1, 90 }, { 2, 100 } } },
        PlanCase { 100, -1, { { 2, 100 } } }, PlanCase { 25, 40, { { 1, 25 }, { 3, 40 } } },
        PlanCase { 25, 50, { { 1, 25 }, { 3, 50 } } }, PlanCase { 25, 0, { { 3, 0 } } },
        PlanCase { 25, 100, { { 1, 25 }, { 1, 50 }, { 1, 75 }, { 3, 100 } } }));
// clang-format on

// No images count as one; images of no bytes end complete like the others.
TEST(TransferPlan, EdgesEndWithEveryPartComplete)
{
    EXPECT_EQ(TransferPlan({}, 50, -1).partsAt(50), std::vector<int32_t>{0});
    EXPECT_EQ(TransferPlan({}, 50, -1).partsAt(100), std::vector<int32_t>{100});
    const PlannedReport last = TransferPlan({5, 7, 0}, 10, -1).reports().back();
    EXPECT_EQ(last, (PlannedReport{2, 100, {100, 100, 100}}));
}

// ---- Traffic formatter -------------------------------------------------------

Standin::TrafficRecord recordOf(Standin::Route route, int id, const QByteArray& bytes)
{
    Standin::TrafficRecord record;
    record.route = route;
    record.id = id;
    record.bytes = bytes;
    record.sender = "upgradeviewmodel";
    record.receivers = {"uistandin"};
    return record;
}

QString decodedJson(Standin::Route route, int id, const QByteArray& bytes)
{
    return TrafficFormatter::fieldsJson(TrafficFormatter::decode(recordOf(route, id, bytes)));
}

LCD::Structs::MessageBoxInfo updatingBox()
{
    LCD::Structs::MessageBoxInfo box;
    box.funcCode = 1;
    box.boxType = 5;
    box.subRate = 60;
    box.totalRate = 10;
    std::strcpy(box.text, "Updating...");
    box.visiable = true;
    box.tipTime = 2000;
    box.currentStatus = 1;
    box.deviceStatus = 1;
    return box;
}

struct FixedPayload
{
    Standin::Route route;
    int id;
    QByteArray bytes;
    const char* json;
};

class TrafficFormatterPayloads : public ::testing::TestWithParam<FixedPayload>
{
};

TEST_P(TrafficFormatterPayloads, DecodeByIdAndSize)
{
    EXPECT_EQ(decodedJson(GetParam().route, GetParam().id, GetParam().bytes).toStdString(), GetParam().json);
}

using Standin::Route;

// The default road's payloads are checked whole by the golden transcript;
// these are the odd sizes and values it never shows.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, TrafficFormatterPayloads,
    ::testing::Values(FixedPayload { Route::Post, Upgrade::MsgGetUpgradeMD5, QByteArray("/x\0junk", 7),
                          R"({"path":"/x"})" },
        FixedPayload { Route::Post, Upgrade::MsgSetUpgradeFile, QByteArray("no-terminator"),
            R"({"path":"no-terminator"})" },
        FixedPayload { Route::Reply, Upgrade::MsgStartUpgrade, QByteArray("\x07", 1), R"({"accepted":7})" },
        FixedPayload {
            Route::Reply, Upgrade::MsgStartUpgrade, QByteArray("\x01\x01", 2), R"({"hex":"0101"})" },
        FixedPayload {
            Route::Post, Upgrade::MsgVerifyResult, QByteArray("\x01\x02", 2), R"({"hex":"0102"})" },
        FixedPayload { Route::Command, Upgrade::MsgQueryNodeList,
            QByteArray("\x10\x32\x54\x76\x00\x00\x00\x00", 8), R"({"address":"0x76543210"})" },
        FixedPayload { Route::Send, Upgrade::MsgMessageBox, QByteArray(811, '\0'),
            R"({"hex":")"
            "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            "000000000000000000000000000000000\"}" }));
// clang-format on

// Lists are read where the sender keeps them, through the payload's
// addresses; the golden transcript shows full ones, here they are empty.
TEST(TrafficFormatter, EmptyListsDecodeAsEmpty)
{
    LCD::ProtoModel::Device::s_UpgradeProgress report;
    report.nodeId = 3;
    report.status = 1;
    report.progress = 45;
    EXPECT_EQ(decodedJson(Route::Send, Upgrade::MsgUpgradeProgress, bytesOf(report)).toStdString(),
              R"({"nodeId":3,"status":1,"progress":45,"parts":[]})");
    const std::vector<LCD::ProtoModel::Device::s_UpgradeFileConfig> files;
    EXPECT_EQ(decodedJson(Route::Command, Upgrade::MsgStartUpgrade, bytesOf(files)).toStdString(),
              R"({"entries":[]})");
}

TEST(TrafficFormatter, LinesCarryTimeIdNameRouteSenderSizeAndPayload)
{
    Standin::TrafficRecord record
        = recordOf(Route::Reply, Upgrade::MsgGetUpgradeFileInfo, QByteArray("\x01\x01", 2));
    record.elapsedNs = 12345678;
    record.sequence = 4;
    EXPECT_EQ(TrafficFormatter::traceLine(record).toStdString(),
              "    12.346 ms  0xfc000029 getUpgradeFileInfo  reply  upgradeviewmodel -> uistandin  size 2  "
              "flags 0  typeMatched 1  downGrade 1");
    // The golden transcript holds the rest of a JSON line, its times set to 0.
    EXPECT_TRUE(
        TrafficFormatter::jsonLine(record).startsWith(QStringLiteral(R"({"time_ms":12.346,"seq":4,)")));
    record.receivers.clear();
    EXPECT_TRUE(TrafficFormatter::traceLine(record).contains(QStringLiteral("upgradeviewmodel -> (nobody)")));
}

TEST(TrafficFormatter, PathsWithQuotesAndPercentSignsStayIntact)
{
    Standin::TrafficRecord record
        = recordOf(Route::Post, Upgrade::MsgSetUpgradeFile, QByteArray("/a \"b\" %1 %2.upg\0", 18));
    EXPECT_TRUE(TrafficFormatter::jsonLine(record).endsWith(
        QStringLiteral(R"("payload":{"path":"/a \"b\" %1 %2.upg"}})")))
        << TrafficFormatter::jsonLine(record).toStdString();
    EXPECT_TRUE(TrafficFormatter::traceLine(record).endsWith(QStringLiteral(R"(path "/a \"b\" %1 %2.upg")")));
}

// ---- Progress view -----------------------------------------------------------

// The kinds of box show in the program's output; an unknown total is here.
TEST(ProgressView, BarAndLineShowTheTotalRate)
{
    LCD::Structs::MessageBoxInfo box = updatingBox();
    box.totalRate = 45;
    EXPECT_EQ(ProgressView::barLine(box, 20),
              QStringLiteral("  [#########...........]  45%  sub  60%  Updating..."));
    box.totalRate = 130;
    EXPECT_TRUE(ProgressView::barLine(box, 4).startsWith(QStringLiteral("  [####] 130%")));
    box.totalRate = -1;
    EXPECT_TRUE(ProgressView::barLine(box, 4).startsWith(QStringLiteral("  [....]   -%")));
    EXPECT_EQ(ProgressView::plainLine(box), QStringLiteral("  box  total   -%  sub  60%  Updating..."));
}

TEST(ProgressView, TerminalRedrawsTheBarInPlaceAndEndsItBeforeOtherLines)
{
    QString screen;
    QTextStream out(&screen);
    ProgressView view(out, true);
    LCD::Structs::MessageBoxInfo box = updatingBox();
    view.show(box);
    view.show(box);
    EXPECT_EQ(screen.count(QLatin1Char('\r')), 2);
    EXPECT_FALSE(screen.contains(QLatin1Char('\n')));
    box.boxType = 1;
    view.show(box);
    EXPECT_TRUE(screen.endsWith(QStringLiteral("\r\x1b[K  box  success  Updating...\n")));
    view.setEnabled(false);
    view.show(box);
    EXPECT_EQ(screen.count(QLatin1Char('\n')), 1);
}

// ---- Demo package and package peek ------------------------------------------

TEST(DemoPackage, DataIsTheSameOnEveryRunAndDiffersPerImage)
{
    EXPECT_EQ(DemoPackage::imageData(0, 1000), DemoPackage::imageData(0, 1000));
    EXPECT_NE(DemoPackage::imageData(0, 1000), DemoPackage::imageData(1, 1000));
    EXPECT_EQ(DemoPackage::imageData(2, 13).size(), 13);
    EXPECT_EQ(DemoPackage::imageData(2, 0).size(), 0);
}

TEST(DemoPackage, ThreeImagesForTheDeviceInAFolderThatGoesAway)
{
    QString path;
    {
        DemoPackage demo;
        ASSERT_TRUE(demo.create(6000)) << demo.errorString().toStdString();
        path = demo.path();
        PackagePeek peek;
        ASSERT_TRUE(peek.read(path));
        EXPECT_EQ(peek.magic, QByteArray("Vesk"));
        EXPECT_EQ(peek.name, QStringLiteral("Vesk"));
        EXPECT_EQ(peek.modelId, 29974);
        EXPECT_EQ(peek.dataVersion, QStringLiteral("1.2.0"));
        ASSERT_EQ(peek.imageSizes.size(), 3u);
        // Each record: magic, length, {"md5":"<32 digits>"} (42 bytes), data.
        EXPECT_EQ(peek.imageSizes, (std::vector<qint64>{8 + 42 + 3000, 8 + 42 + 2000, 8 + 42 + 1000}));
        EXPECT_EQ(peek.summary(), QStringLiteral("3 images, 0.0 MiB, Vesk model 29974, data version 1.2.0"));
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(PackagePeek, SomethingElseGivesNoImagesAndNoModel)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Vesk\xff\xff\xff\xffhello");
    file.close();
    PackagePeek peek;
    ASSERT_TRUE(peek.read(path));
    EXPECT_EQ(peek.modelId, 0);
    EXPECT_TRUE(peek.imageSizes.empty());
    EXPECT_FALSE(PackagePeek().read(folder.filePath(QStringLiteral("missing"))));
}

// ---- Log filter and memory ---------------------------------------------------

// Quiet counts warnings and shows nothing; Show writes every line with its
// level and place.
TEST(LogFilter, QuietCountsAndShowWrites)
{
    QString shown;
    QTextStream stream(&shown);
    LogFilter::install(LogFilter::Mode::Quiet, &stream);
    qDebug() << "debug line";
    qInfo() << "info line";
    qWarning() << "warning line";
    qWarning() << "another";
    LogFilter::uninstall();
    EXPECT_EQ(LogFilter::warnings(), 2);
    EXPECT_TRUE(shown.isEmpty());
    LogFilter::install(LogFilter::Mode::Show, &stream);
    qDebug() << "filePath :"
             << "x";
    LogFilter::uninstall();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("log  debug  filePath : x  (simparts_test.cpp:")))
        << shown.toStdString();
}

// A live block shows in the heap figure while it lives, and only then.
TEST(ResidentMemory, HeapCountsLiveBlocks)
{
    const qint64 before = ResidentMemory::heapKib();
    auto block = std::make_unique<char[]>(2 * 1024 * 1024);
    block[0] = 1;
    const qint64 during = ResidentMemory::heapKib();
    block.reset();
    EXPECT_GE(during - before, 2048);
    EXPECT_LT(ResidentMemory::heapKib() - before, 64);
}

} // namespace
