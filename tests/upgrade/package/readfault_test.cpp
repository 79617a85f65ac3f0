// Storage that fails under a package while the real plug-in reads it: the
// fault layer's read() stands in for the C library's in this process, so it
// reaches the Qt reads of the dlopen'ed plug-in.

#include "packagefixture.h"
#include "standin/storage/faultystorage.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/namedcase.h"

#include <QtEndian>

#include <gtest/gtest.h>

using Standin::FaultyStorage;

namespace {

// Where each part of a laid-out package starts.
struct Layout
{
    explicit Layout(const QByteArray& bytes)
    {
        const auto field = [&bytes](qint64 at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
        checkLength = 8 + field(4);
        checkBlock = checkLength + 4;
        image = checkBlock + field(checkLength);
        data = image + 8 + field(image + 4);
        end = bytes.size();
    }

    qint64 magic = 0;
    qint64 headerLength = 4;
    qint64 header = 8;
    qint64 checkLength, checkBlock, image, data, end;
};

struct FaultCase : testing_support::NamedCase
{
    qint64 Layout::*region;
    qint64 delta; // from the region's start
    FaultyStorage::Fault fault; // its offset is the region's
    uint8_t verified;
    uint8_t fits; // first byte of the file-information reply
    const char* line; // the walk's deciding log line, once
    bool readErrorLogged;
};

class ReadFaultTest : public testing_support::HostFixture, public testing::WithParamInterface<FaultCase>
{
protected:
    void TearDown() override
    {
        FaultyStorage::disarm();
        HostFixture::TearDown();
    }

    PackageFixture fixture;
};

TEST_P(ReadFaultTest, OnlyAReportedReadErrorChangesTheOutcome)
{
    const FaultCase& c = GetParam();
    const Upgrade::PackageContents contents = PackageFixture::package({3000, 2000});
    const QString path = fixture.write(contents);
    FaultyStorage::Fault armed = c.fault;
    armed.offset = c.fault.readLimit > 0 ? -1 : Layout(fixture.bytes(contents)).*c.region + c.delta;
    ASSERT_TRUE(FaultyStorage::arm(path, armed));
    testing_support::LogCapture log;

    ui.verify(path.toUtf8());
    const std::optional<QByteArray> info = ui.queryFileInfo(path.toUtf8());

    EXPECT_EQ(ui.verifyResults, std::vector<uint8_t>{c.verified});
    ASSERT_TRUE(info && info->size() == 2);
    EXPECT_EQ(uint8_t(info->at(0)), c.fits);
    EXPECT_EQ(log.count(QLatin1String(c.line)), 1);
    const std::vector<testing_support::LogLine> errors = log.matching(QStringLiteral("Error reading file: "));
    ASSERT_EQ(errors.size(), c.readErrorLogged ? 1u : 0u);
    if (c.readErrorLogged) {
        EXPECT_TRUE(errors.front().function.contains(QLatin1String("upgradeCheck")));
    }
}

const char* const Eio = "Error reading file:  \"Input/output error\"";
const char* const Mismatch = "md5 check fail";
// Offsets come from the rows' regions.
const FaultyStorage::Fault Fails{-1, EIO}, MediaGone{-1, ENXIO}, Cut{-1, 0, true}, Short{-1, 0, false, 4096};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Regions, ReadFaultTest, testing::Values(
    FaultCase{"Magic", &Layout::magic, 0, Fails, 0, 0, Eio, true},
    FaultCase{"HeaderLength", &Layout::headerLength, 2, Fails, 0, 0, Eio, true},
    FaultCase{"Header", &Layout::header, 10, Fails, 0, 0, Eio, true},
    FaultCase{"CheckBlockLength", &Layout::checkLength, 1, Fails, 0, 1, Eio, true},
    FaultCase{"CheckBlock", &Layout::checkBlock, 10, Fails, 0, 1, Eio, true},
    FaultCase{"ImageMagic", &Layout::image, 0, Fails, 0, 1, "head check fail", false},
    FaultCase{"SubHeader", &Layout::image, 12, Fails, 0, 1, Mismatch, true},
    FaultCase{"MidChunkData", &Layout::data, 1000, Fails, 0, 1, Mismatch, true},
    FaultCase{"LastByte", &Layout::end, -1, Fails, 0, 1, Mismatch, true},
    FaultCase{"MediaGone", &Layout::checkBlock, 10, MediaGone, 0, 1,
              "Error reading file:  \"No such device or address\"", true},
    FaultCase{"ShortReadsOnly", &Layout::magic, 0, Short, 1, 1, "upgradeCheck", false},
    // A short file keeps the walk's outcome: a cut check block lists no image.
    FaultCase{"TruncatedDuringWalk", &Layout::checkBlock, 10, Cut, 1, 1, "upgradeCheck", false}),
    testing_support::caseName<FaultCase>);
// clang-format on

} // namespace
