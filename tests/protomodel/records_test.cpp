#include "protomodel/nodelist.h"
#include "protomodel/upgradefileconfig.h"
#include "protomodel/upgradeprogress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace LCD::ProtoModel::Device;

// The address word at a byte offset of an object's image.
template <typename T> const void* addressAt(const T& object, std::size_t offset)
{
    const void* address = nullptr;
    std::memcpy(&address, reinterpret_cast<const char*>(&object) + offset, sizeof address);
    return address;
}

// The device side fills the node record in place and may leave it as it is.
TEST(NodeList, DefaultsAreTheDeviceSidesOwn)
{
    const s_NodeList node;
    EXPECT_EQ(node.nodeId, 1);
    EXPECT_EQ(node.nodeState, 2);
    EXPECT_EQ(node.alias, "name1");
}

TEST(UpgradeFileConfig, TransferModeLiesInMemoryAsTheDeviceSideReadsIt)
{
    const s_UpgradeFileConfig entry;
    std::vector<uint8_t> bytes(8);
    std::memcpy(bytes.data(), &entry.transferMode, 8);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(
        (reinterpret_cast<const char*>(&entry.transferMode) - reinterpret_cast<const char*>(&entry)) % 8, 0);
}

// The 40-byte progress payload carries the parts list as three addresses:
// first, last and end of storage; an empty list has first equal to last.
TEST(UpgradeProgress, PartsAddressesDescribeTheSendersEntries)
{
    s_UpgradeProgress report;
    EXPECT_EQ(addressAt(report, 16), addressAt(report, 24));
    report.parts.resize(3);
    report.parts.reserve(8);
    report.parts[2].progress = 64;

    const auto* first = static_cast<const s_UpgradeProgressPart*>(addressAt(report, 16));
    EXPECT_EQ(first, report.parts.data());
    EXPECT_EQ(static_cast<const s_UpgradeProgressPart*>(addressAt(report, 24)) - first, 3);
    EXPECT_EQ(static_cast<const s_UpgradeProgressPart*>(addressAt(report, 32)) - first, 8);
    EXPECT_EQ(first[2].progress, 64);
}

} // namespace
