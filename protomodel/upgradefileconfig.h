#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace LCD {
namespace ProtoModel {
namespace Device {

struct s_UpgradeFileSegment
{
    int32_t first = 0;
    int32_t second = 0;
    std::vector<std::array<uint32_t, 3>> ranges;
};

// One file entry of the upgrade-start command 0xfc050006.
struct s_UpgradeFileConfig
{
    int32_t nodeId = 1;
    int32_t fileType = 0;
    int32_t fileIndex = 0;
    std::string filePath;
    std::string fileName;
    int32_t option = 0;
    int64_t transferMode = 0x100000000LL; // bytes in memory: 00 00 00 00 01 00 00 00
    int32_t reserved = 0;
    std::vector<s_UpgradeFileSegment> segments;
};

static_assert(alignof(s_UpgradeFileConfig) == 8, "64-bit field keeps the entry 8-byte aligned");

} // namespace Device
} // namespace ProtoModel
} // namespace LCD
