// The simulator's parts where the program's roads and the golden transcript
// do not reach: option errors, plan edges, quoting, the terminal bar.

#include "progressview.h"
#include "simoptions.h"
#include "trafficformatter.h"
#include "transferplan.h"

#include "protomodel/messageboxinfo.h"
#include "standin/host/standinhost.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace Sim;

// ---- Options -----------------------------------------------------------------

SimOptions parsed(QStringList arguments, SimOptions::Parse expected = SimOptions::Parse::Run)
{
    arguments.prepend(QStringLiteral("upgrade-sim"));
    SimOptions options;
    EXPECT_EQ(options.parse(arguments, QStringLiteral("/built/plugin.so")), expected)
        << options.error.toStdString();
    return options;
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
        = {{"100", 100}, {"64k", 65536}, {"2048M", qint64(2048) << 20}, {"2049M", -1}, {"1.5M", -1}};
    for (const auto& row : table)
        EXPECT_EQ(SimOptions::parseSize(QString::fromLatin1(row.first)), row.second) << row.first;
}

// ---- Transfer plan -----------------------------------------------------------

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
    ::testing::Values(PlanCase { 30, -1, { { 1, 30 }, { 1, 60 }, { 1, 90 }, { 2, 100 } } },
        PlanCase { 25, 0, { { 3, 0 } } },
        PlanCase { 25, 100, { { 1, 25 }, { 1, 50 }, { 1, 75 }, { 3, 100 } } }));
// clang-format on

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

TEST(TrafficFormatter, PathsWithQuotesAndPercentSignsStayIntact)
{
    Standin::TrafficRecord record
        = recordOf(Standin::Route::Post, Upgrade::MsgSetUpgradeFile, QByteArray("/a \"b\" %1 %2.upg\0", 18));
    EXPECT_TRUE(TrafficFormatter::jsonLine(record).endsWith(
        QStringLiteral(R"("payload":{"path":"/a \"b\" %1 %2.upg"}})")))
        << TrafficFormatter::jsonLine(record).toStdString();
    EXPECT_TRUE(TrafficFormatter::traceLine(record).endsWith(QStringLiteral(R"(path "/a \"b\" %1 %2.upg")")));
}

// ---- Progress view -----------------------------------------------------------

// The kinds of box show in the program's output; an unknown total is here.
TEST(ProgressView, BarAndLineShowTheTotalRate)
{
    LCD::Structs::MessageBoxInfo box;
    box.funcCode = 1;
    box.boxType = 5;
    box.subRate = 60;
    box.totalRate = 45;
    std::strcpy(box.text, "Updating...");
    EXPECT_EQ(ProgressView::barLine(box, 20),
              QStringLiteral("  [#########...........]  45%  sub  60%  Updating..."));
    box.totalRate = 130;
    EXPECT_TRUE(ProgressView::barLine(box, 4).startsWith(QStringLiteral("  [####] 130%")));
    box.totalRate = -1;
    EXPECT_TRUE(ProgressView::barLine(box, 4).startsWith(QStringLiteral("  [....]   -%")));
    EXPECT_EQ(ProgressView::plainLine(box), QStringLiteral("  box  total   -%  sub  60%  Updating..."));
}

} // namespace
