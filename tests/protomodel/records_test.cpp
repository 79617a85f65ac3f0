#include "protomodel/nodefirmwareversion.h"
#include "protomodel/nodelist.h"
#include "protomodel/queryinfo.h"
#include "protomodel/upgradefileconfig.h"
#include "protomodel/upgradeinfo.h"
#include "protomodel/upgradeprogress.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace LCD::ProtoModel::Device;
using LCD::GlobalMessageHander::QueryInfo;
using LCD::GlobalMessageHander::RequestInfo;

// Bytes of an object as they lie in memory.
template <typename T>
std::vector<uint8_t> bytesOf(const T& value)
{
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// The address word at a byte offset of an object's image.
template <typename T>
const void* addressAt(const T& object, std::size_t offset)
{
    const void* address = nullptr;
    std::memcpy(&address, reinterpret_cast<const char*>(&object) + offset, sizeof address);
    return address;
}

s_NodeList filledNodeList()
{
    s_NodeList node;
    node.nodeId = 7;
    node.nodeType = 3;
    node.nodeName = "node";
    node.nodeState = 4;
    node.serial = "serial";
    node.address = "10.0.0.9";
    node.flags = 5;
    node.alias = "alias";
    node.ports = {80, 443};
    return node;
}

void expectSameNodeList(const s_NodeList& a, const s_NodeList& b)
{
    EXPECT_EQ(a.nodeId, b.nodeId);
    EXPECT_EQ(a.nodeType, b.nodeType);
    EXPECT_EQ(a.nodeName, b.nodeName);
    EXPECT_EQ(a.nodeState, b.nodeState);
    EXPECT_EQ(a.serial, b.serial);
    EXPECT_EQ(a.address, b.address);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.alias, b.alias);
    EXPECT_EQ(a.ports, b.ports);
}

TEST(NodeList, DefaultsAreTheDeviceSidesOwn)
{
    const s_NodeList node;
    EXPECT_EQ(node.nodeId, 1);
    EXPECT_EQ(node.nodeType, 0);
    EXPECT_EQ(node.nodeName, "");
    EXPECT_EQ(node.nodeState, 2);
    EXPECT_EQ(node.serial, "");
    EXPECT_EQ(node.address, "");
    EXPECT_EQ(node.flags, 0);
    EXPECT_EQ(node.alias, "name1");
    EXPECT_TRUE(node.ports.empty());
}

TEST(NodeList, CopyKeepsAllNineFieldsAndSharesNothing)
{
    const s_NodeList original = filledNodeList();
    s_NodeList copy = original;
    expectSameNodeList(copy, original);

    copy.alias[0] = 'X';
    copy.ports[0] = 1;
    EXPECT_EQ(original.alias, "alias");
    EXPECT_EQ(original.ports[0], 80u);
}

TEST(QueryWrappers, ResultsStartAsFreshRecords)
{
    const QueryInfo<s_NodeList> query;
    EXPECT_FALSE(query.callback);
    expectSameNodeList(query.result, s_NodeList());

    const RequestInfo<s_NodeFirmwareVersion, QString> request;
    EXPECT_FALSE(request.callback);
    EXPECT_TRUE(request.request.isEmpty());
    EXPECT_TRUE(request.response.firmwareVersion.empty());
    EXPECT_TRUE(request.response.modules.empty());
}

TEST(UpgradeInfo, DefaultMeansNoHeaderRead)
{
    const s_UpgradeInfo info;
    EXPECT_EQ(info.modelID, 0);
    EXPECT_TRUE(info.name.empty());
    EXPECT_TRUE(info.mainVersion.empty());
    EXPECT_TRUE(info.dataVersion.empty());
}

TEST(UpgradeFileConfig, SeventhFieldLiesInMemoryAsTheDeviceSideReadsIt)
{
    const s_UpgradeFileConfig entry;
    EXPECT_EQ(entry.nodeId, 1);
    EXPECT_TRUE(entry.segments.empty());
    const std::vector<uint8_t> bytes = bytesOf(entry.transferMode);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    const auto offset = reinterpret_cast<const char*>(&entry.transferMode) - reinterpret_cast<const char*>(&entry);
    EXPECT_EQ(offset % 8, 0);
}

TEST(UpgradeFileConfig, CopiedListKeepsEveryFieldAndNestedList)
{
    std::vector<s_UpgradeFileConfig> list(2);
    list[0].nodeId = 4;
    list[0].filePath = "/media/usb/package.bin";
    list[0].fileName = "package.bin";
    list[1].segments.push_back({1, 2, {{{3, 4, 5}}}});

    std::vector<s_UpgradeFileConfig> copy = list;
    copy[1].segments[0].ranges[0][0] = 99;
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[0].nodeId, 4);
    EXPECT_EQ(copy[0].filePath, "/media/usb/package.bin");
    EXPECT_EQ(copy[0].fileName, "package.bin");
    EXPECT_EQ(copy[0].transferMode, 0x100000000LL);
    EXPECT_EQ(copy[1].segments[0].second, 2);
    EXPECT_EQ(list[1].segments[0].ranges[0][0], 3u);
}

// The 40-byte progress payload carries the parts list as three addresses.
TEST(UpgradeProgress, EmptyPartsListHasEqualFirstAndLastAddresses)
{
    s_UpgradeProgress report;
    report.nodeId = 1;
    report.status = 1;
    report.progress = 30;
    EXPECT_EQ(addressAt(report, 16), addressAt(report, 24));
}

TEST(UpgradeProgress, PartsAddressesDescribeTheSendersEntries)
{
    s_UpgradeProgress report;
    report.parts.resize(3);
    report.parts.reserve(8);
    report.parts[2].progress = 64;

    const auto* first = static_cast<const s_UpgradeProgressPart*>(addressAt(report, 16));
    const auto* last = static_cast<const s_UpgradeProgressPart*>(addressAt(report, 24));
    const auto* end = static_cast<const s_UpgradeProgressPart*>(addressAt(report, 32));
    EXPECT_EQ(first, report.parts.data());
    EXPECT_EQ(last - first, 3);
    EXPECT_EQ(end - first, 8);
    EXPECT_EQ(first[2].progress, 64);

    s_UpgradeProgress copy = report;
    EXPECT_NE(addressAt(copy, 16), addressAt(report, 16));
    EXPECT_EQ(copy.parts[2].progress, 64);
}

} // namespace
