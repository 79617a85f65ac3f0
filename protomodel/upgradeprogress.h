#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace LCD {
namespace ProtoModel {
namespace Device {

// One part of a progress report; only progress is read here.
struct s_UpgradeProgressPart
{
    int32_t partId = 0;
    int32_t progress = 0;
    int32_t state = 0;
    std::vector<std::array<uint8_t, 16>> details;
};

// Progress report of a running upgrade. Its 40-byte in-memory image is the
// payload of event 0xfc080003.
struct s_UpgradeProgress
{
    int32_t nodeId = 0;
    int32_t status = 0; // 0 hide, 1 updating, 2 succeeded, 3 failed
    int32_t progress = 0;
    std::vector<s_UpgradeProgressPart> parts;
};

static_assert(sizeof(std::vector<int>) == 24, "a list object is three addresses");
static_assert(sizeof(s_UpgradeProgress) == 40, "progress payload is 40 bytes");
static_assert(offsetof(s_UpgradeProgress, nodeId) == 0, "progress payload layout");
static_assert(offsetof(s_UpgradeProgress, status) == 4, "progress payload layout");
static_assert(offsetof(s_UpgradeProgress, progress) == 8, "progress payload layout");
static_assert(offsetof(s_UpgradeProgress, parts) == 16, "progress payload layout");

} // namespace Device
} // namespace ProtoModel
} // namespace LCD
