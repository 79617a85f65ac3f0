#include "constants/constants.h"

#include "testing/paramname.h"

#include <gtest/gtest.h>

namespace {

using namespace LCD::Constants;
using namespace LCD::Enum;
using namespace LCD::Enum::Interface;

struct CountCase
{
    const char* name;
    int size;
    int expected;
};

class ConstantTableSizeTest : public ::testing::TestWithParam<CountCase>
{
};

TEST_P(ConstantTableSizeTest, HoldsItsListedEntries)
{
    EXPECT_EQ(GetParam().size, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, ConstantTableSizeTest,
                         ::testing::Values(CountCase{"IconPath", g_mapIconPath.size(), 22},
                                           CountCase{"ThumbTagName", g_mapThumbTagName.size(), 6},
                                           CountCase{"DetailTimingTagName", g_mapDetailTimingTagName.size(), 14},
                                           CountCase{"ConnectorTypeName", g_mapConnectorTypeName.size(), 13},
                                           CountCase{"OrderColorSpace", g_mapOrderColorSpace.size(), 5}),
                         testing_support::ByName());

TEST(IconPath, CoversThreeBlocksUnderOneFolder)
{
    EXPECT_EQ(int(g_mapIconPath.lastKey()), 517);
    for (const QString& path : g_mapIconPath)
        EXPECT_TRUE(path.startsWith("/share/themes/dark/images/")) << path.toStdString();
    for (int outside : {8, 255, 264, 511, 518, -1})
        EXPECT_FALSE(g_mapIconPath.contains(TestPatternType(outside))) << outside;
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(259)).endsWith("_grey_01.png"));
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(263)).endsWith("_grey_v.png"));
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(7)).endsWith("icon_test_gird.png"));
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(516)).endsWith("icon_test_line_gird.png"));
}

TEST(TagNames, MapEachValueToItsOwnNumber)
{
    for (auto it = g_mapThumbTagName.cbegin(); it != g_mapThumbTagName.cend(); ++it)
        EXPECT_EQ(int(it.key()), it.value());
    for (auto it = g_mapDetailTimingTagName.cbegin(); it != g_mapDetailTimingTagName.cend(); ++it)
        EXPECT_EQ(int(it.key()), it.value());
    EXPECT_EQ(int(g_mapThumbTagName.lastKey()), 5);
    EXPECT_EQ(int(g_mapDetailTimingTagName.lastKey()), 13);
}

TEST(ConnectorTypeName, SkipsTheUnnamedNumbers)
{
    for (int unnamed : {0, 1, 12, 15, 16})
        EXPECT_FALSE(g_mapConnectorTypeName.contains(ConnectorType(unnamed))) << unnamed;
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(13)), "12G-SDI");
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(14)), "6G-SDI");
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(17)), "DDP1.1");
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(4)), "HDMI1.3");
}

TEST(OrderColorSpace, SwapsPositionsZeroAndThree)
{
    const std::vector<std::pair<int, int>> expected = {{0, 3}, {1, 1}, {2, 2}, {3, 0}, {255, 255}};
    std::vector<std::pair<int, int>> actual;
    for (auto it = g_mapOrderColorSpace.cbegin(); it != g_mapOrderColorSpace.cend(); ++it)
        actual.emplace_back(it.key(), int(it.value()));
    EXPECT_EQ(actual, expected);
}

TEST(Identifiers, NameTheirViewModelsAndHandlers)
{
    EXPECT_EQ(GroupKeyPress, "PRESS");
    EXPECT_EQ(GroupKeyRelease, "RELEASE");
    EXPECT_EQ(GroupKeyTimeout, "TIMEOUT");
    EXPECT_EQ(ScreenColorSpaceViewModel, "screencolorspaceviewmodel");
    EXPECT_EQ(ScreenColorDepthViewModel, "screencolordepthviewmodel");
    EXPECT_EQ(OutputColorSpaceViewModel, "outputcolorspaceviewmodel");
    EXPECT_EQ(OutputColorDepthViewModel, "outputcolordepthviewmodel");
    EXPECT_EQ(InputColorSpaceViewModel, "inputcolorspaceviewmodel");
    EXPECT_EQ(InputColorDepthViewModel, "inputcolordepthviewmodel");
    // The identifier says "Output", the value adds "interface".
    EXPECT_EQ(OutputDynamicViewModel, "outputinterfacedynamicviewmodelmessagehander");
    EXPECT_EQ(ScreenDynamichViewModel, "screendynamicviewmodelmessagehander");
}

} // namespace
