#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace LCD {
namespace ProtoModel {
namespace Device {

struct s_FirmwareEntry
{
    uint64_t numbers;
    std::string name;
    std::string version;
};

struct s_FirmwareModule
{
    uint64_t numbers[2];
    std::string name;
    std::string version;
    std::vector<s_FirmwareEntry> entries;
    std::string description;
};

// Firmware description of one node, filled in place by the device side
// (command 0xfc050015). Only firmwareVersion is read here.
struct s_NodeFirmwareVersion
{
    uint64_t timestamp; // left unset by construction, as on the device side
    std::string hardwareVersion;
    std::string softwareVersion;
    std::string firmwareVersion;
    std::string bootVersion;
    std::string kernelVersion;
    std::string productName;
    std::vector<s_FirmwareModule> modules;
};

} // namespace Device
} // namespace ProtoModel
} // namespace LCD
