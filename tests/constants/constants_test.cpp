#include "constants/constants.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using namespace LCD::Constants;
using namespace LCD::Enum;
using namespace LCD::Enum::Interface;

TEST(Constants, IconPathsCoverThreeBlocksUnderOneFolder)
{
    EXPECT_EQ(g_mapIconPath.size(), 22);
    EXPECT_EQ(int(g_mapIconPath.lastKey()), 517);
    for (const QString& path : g_mapIconPath)
        EXPECT_TRUE(path.startsWith("/share/themes/dark/images/")) << path.toStdString();
    for (int outside : {8, 255, 264, 511, 518, -1})
        EXPECT_FALSE(g_mapIconPath.contains(TestPatternType(outside))) << outside;
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(259)).endsWith("_grey_01.png"));
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(7)).endsWith("icon_test_gird.png"));
    EXPECT_TRUE(g_mapIconPath.value(TestPatternType(516)).endsWith("icon_test_line_gird.png"));
}

TEST(Constants, TagNamesMapEachValueToItsOwnNumber)
{
    EXPECT_EQ(g_mapThumbTagName.size(), 6);
    EXPECT_EQ(g_mapDetailTimingTagName.size(), 14);
    for (auto it = g_mapThumbTagName.cbegin(); it != g_mapThumbTagName.cend(); ++it)
        EXPECT_EQ(int(it.key()), it.value());
    for (auto it = g_mapDetailTimingTagName.cbegin(); it != g_mapDetailTimingTagName.cend(); ++it)
        EXPECT_EQ(int(it.key()), it.value());
}

TEST(Constants, ConnectorNamesSkipTheUnnamedNumbers)
{
    EXPECT_EQ(g_mapConnectorTypeName.size(), 13);
    for (int unnamed : {0, 1, 12, 15, 16})
        EXPECT_FALSE(g_mapConnectorTypeName.contains(ConnectorType(unnamed))) << unnamed;
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(13)), "12G-SDI");
    EXPECT_EQ(g_mapConnectorTypeName.value(ConnectorType(17)), "DDP1.1");
}

TEST(Constants, ColorSpaceOrderSwapsPositionsZeroAndThree)
{
    std::vector<std::pair<int, int>> actual;
    for (auto it = g_mapOrderColorSpace.cbegin(); it != g_mapOrderColorSpace.cend(); ++it)
        actual.emplace_back(it.key(), int(it.value()));
    EXPECT_EQ(actual, (std::vector<std::pair<int, int>>{{0, 3}, {1, 1}, {2, 2}, {3, 0}, {255, 255}}));
}

// The identifier says "Output", the value adds "interface"; both keep the
// handler's misspelling.
TEST(Constants, DynamicViewModelNamesDifferFromTheirIdentifiers)
{
    EXPECT_EQ(OutputDynamicViewModel, "outputinterfacedynamicviewmodelmessagehander");
    EXPECT_EQ(ScreenDynamichViewModel, "screendynamicviewmodelmessagehander");
}

} // namespace
