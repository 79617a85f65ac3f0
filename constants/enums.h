#pragma once

#include <cstdint>

namespace LCD {
namespace Enum {

// Display test patterns; the high byte groups them: 0x0xx solid colours,
// stripes and grid, 0x1xx "change" patterns, 0x2xx "line" patterns.
enum TestPatternType : int32_t {
    SolidBlack = 0x000,
    SolidRed = 0x001,
    SolidGreen = 0x002,
    SolidBlue = 0x003,
    SolidWhite = 0x004,
    StripeVertical = 0x005,
    StripeHorizontal = 0x006,
    Grid = 0x007,
    ChangeRed = 0x100,
    ChangeGreen = 0x101,
    ChangeBlue = 0x102,
    ChangeGrey = 0x103,
    ChangeRedVertical = 0x104,
    ChangeGreenVertical = 0x105,
    ChangeBlueVertical = 0x106,
    ChangeGreyVertical = 0x107,
    LineHorizontal = 0x200,
    LineVertical = 0x201,
    LineOverlappingLeft = 0x202,
    LineOverlappingRight = 0x203,
    LineGrid = 0x204,
    LineOverlapping = 0x205,
};

namespace Interface {

enum ThumbTagName : int32_t { Thumb0, Thumb1, Thumb2, Thumb3, Thumb4, Thumb5 };

// clang-format off
enum DetailTagName : int32_t {
    Detail0, Detail1, Detail2, Detail3, Detail4, Detail5, Detail6,
    Detail7, Detail8, Detail9, Detail10, Detail11, Detail12, Detail13,
};
// clang-format on

enum ConnectorType : int32_t {
    ConnectorNone = 0,
    ConnectorUnknown = 1,
    DVI = 2,
    DDVI = 3,
    HDMI13 = 4,
    HDMI14 = 5,
    HDMI20 = 6,
    DP11 = 7,
    DP12 = 8,
    SDI = 9,
    VGA = 10,
    CVBS = 11,
    ConnectorReserved12 = 12,
    SDI12G = 13,
    SDI6G = 14,
    ConnectorReserved15 = 15,
    ConnectorReserved16 = 16,
    DDP11 = 17,
};

enum InterfaceColorSpace : int32_t {
    ColorSpace0 = 0,
    ColorSpace1 = 1,
    ColorSpace2 = 2,
    ColorSpace3 = 3,
    ColorSpaceAuto = 255,
};

} // namespace Interface
} // namespace Enum
} // namespace LCD
