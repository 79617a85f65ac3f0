#pragma once

// Display constants shared by the host's view models. They have internal
// linkage on purpose: every translation unit that includes this header
// builds its own private copy at load time.

#include "constants/enums.h"

#include <QMap>
#include <QString>

#include <string>

namespace LCD {
namespace Constants {

static const QString GroupKeyPress = QStringLiteral("PRESS");
static const QString GroupKeyRelease = QStringLiteral("RELEASE");
static const QString GroupKeyTimeout = QStringLiteral("TIMEOUT");

#define LCD_ICON_DIR "/share/themes/dark/images/"
static const QMap<LCD::Enum::TestPatternType, QString> g_mapIconPath = {
    {LCD::Enum::SolidBlack, QStringLiteral(LCD_ICON_DIR "icon_test_solid_black.png")},
    {LCD::Enum::SolidRed, QStringLiteral(LCD_ICON_DIR "icon_test_solid_red.png")},
    {LCD::Enum::SolidGreen, QStringLiteral(LCD_ICON_DIR "icon_test_solid_green.png")},
    {LCD::Enum::SolidBlue, QStringLiteral(LCD_ICON_DIR "icon_test_solid_blue.png")},
    {LCD::Enum::SolidWhite, QStringLiteral(LCD_ICON_DIR "icon_test_solid_white.png")},
    {LCD::Enum::StripeVertical, QStringLiteral(LCD_ICON_DIR "icon_test_stripe_v.png")},
    {LCD::Enum::StripeHorizontal, QStringLiteral(LCD_ICON_DIR "icon_test_stripe_h.png")},
    {LCD::Enum::Grid, QStringLiteral(LCD_ICON_DIR "icon_test_gird.png")},
    {LCD::Enum::ChangeRed, QStringLiteral(LCD_ICON_DIR "icon_test_change_red.png")},
    {LCD::Enum::ChangeGreen, QStringLiteral(LCD_ICON_DIR "icon_test_change_green.png")},
    {LCD::Enum::ChangeBlue, QStringLiteral(LCD_ICON_DIR "icon_test_change_blue.png")},
    {LCD::Enum::ChangeGrey, QStringLiteral(LCD_ICON_DIR "icon_test_change_grey_01.png")},
    {LCD::Enum::ChangeRedVertical, QStringLiteral(LCD_ICON_DIR "icon_test_change_red_v.png")},
    {LCD::Enum::ChangeGreenVertical, QStringLiteral(LCD_ICON_DIR "icon_test_change_green_v.png")},
    {LCD::Enum::ChangeBlueVertical, QStringLiteral(LCD_ICON_DIR "icon_test_change_blue_v.png")},
    {LCD::Enum::ChangeGreyVertical, QStringLiteral(LCD_ICON_DIR "icon_test_change_grey_v.png")},
    {LCD::Enum::LineHorizontal, QStringLiteral(LCD_ICON_DIR "icon_test_line_h.png")},
    {LCD::Enum::LineVertical, QStringLiteral(LCD_ICON_DIR "icon_test_line_v.png")},
    {LCD::Enum::LineOverlappingLeft, QStringLiteral(LCD_ICON_DIR "icon_test_line_overlapping_left.png")},
    {LCD::Enum::LineOverlappingRight, QStringLiteral(LCD_ICON_DIR "icon_test_line_overlapping_right.png")},
    {LCD::Enum::LineGrid, QStringLiteral(LCD_ICON_DIR "icon_test_line_gird.png")},
    {LCD::Enum::LineOverlapping, QStringLiteral(LCD_ICON_DIR "icon_test_line_overlapping.png")},
};
#undef LCD_ICON_DIR

// clang-format off
static const QMap<LCD::Enum::Interface::ThumbTagName, int> g_mapThumbTagName = {
    {LCD::Enum::Interface::Thumb0, 0}, {LCD::Enum::Interface::Thumb1, 1},
    {LCD::Enum::Interface::Thumb2, 2}, {LCD::Enum::Interface::Thumb3, 3},
    {LCD::Enum::Interface::Thumb4, 4}, {LCD::Enum::Interface::Thumb5, 5},
};
// clang-format on

static const QMap<LCD::Enum::Interface::DetailTagName, int> g_mapDetailTimingTagName = {
    {LCD::Enum::Interface::Detail0, 0},   {LCD::Enum::Interface::Detail1, 1},
    {LCD::Enum::Interface::Detail2, 2},   {LCD::Enum::Interface::Detail3, 3},
    {LCD::Enum::Interface::Detail4, 4},   {LCD::Enum::Interface::Detail5, 5},
    {LCD::Enum::Interface::Detail6, 6},   {LCD::Enum::Interface::Detail7, 7},
    {LCD::Enum::Interface::Detail8, 8},   {LCD::Enum::Interface::Detail9, 9},
    {LCD::Enum::Interface::Detail10, 10}, {LCD::Enum::Interface::Detail11, 11},
    {LCD::Enum::Interface::Detail12, 12}, {LCD::Enum::Interface::Detail13, 13},
};

static const QMap<LCD::Enum::Interface::ConnectorType, QString> g_mapConnectorTypeName = {
    {LCD::Enum::Interface::DVI, QStringLiteral("DVI")},
    {LCD::Enum::Interface::DDVI, QStringLiteral("DDVI")},
    {LCD::Enum::Interface::HDMI13, QStringLiteral("HDMI1.3")},
    {LCD::Enum::Interface::HDMI14, QStringLiteral("HDMI1.4")},
    {LCD::Enum::Interface::HDMI20, QStringLiteral("HDMI2.0")},
    {LCD::Enum::Interface::DP11, QStringLiteral("DP1.1")},
    {LCD::Enum::Interface::DP12, QStringLiteral("DP1.2")},
    {LCD::Enum::Interface::SDI, QStringLiteral("SDI")},
    {LCD::Enum::Interface::VGA, QStringLiteral("VGA")},
    {LCD::Enum::Interface::CVBS, QStringLiteral("CVBS")},
    {LCD::Enum::Interface::SDI12G, QStringLiteral("12G-SDI")},
    {LCD::Enum::Interface::SDI6G, QStringLiteral("6G-SDI")},
    {LCD::Enum::Interface::DDP11, QStringLiteral("DDP1.1")},
};

// Positions 0 and 3 are swapped; the rest map to themselves.
// clang-format off
static const QMap<int, LCD::Enum::Interface::InterfaceColorSpace> g_mapOrderColorSpace = {
    {0, LCD::Enum::Interface::ColorSpace3},
    {1, LCD::Enum::Interface::ColorSpace1},
    {2, LCD::Enum::Interface::ColorSpace2},
    {3, LCD::Enum::Interface::ColorSpace0},
    {255, LCD::Enum::Interface::ColorSpaceAuto},
};
// clang-format on

static const std::string ScreenColorSpaceViewModel = "screencolorspaceviewmodel";
static const std::string ScreenColorDepthViewModel = "screencolordepthviewmodel";
static const std::string OutputColorSpaceViewModel = "outputcolorspaceviewmodel";
static const std::string OutputColorDepthViewModel = "outputcolordepthviewmodel";
static const std::string InputColorSpaceViewModel = "inputcolorspaceviewmodel";
static const std::string InputColorDepthViewModel = "inputcolordepthviewmodel";
static const std::string OutputDynamicViewModel = "outputinterfacedynamicviewmodelmessagehander";
static const std::string ScreenDynamichViewModel = "screendynamicviewmodelmessagehander";

} // namespace Constants
} // namespace LCD
