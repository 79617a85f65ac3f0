#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace LCD {
namespace ProtoModel {
namespace Device {

// Node record filled in place by the device side (command 0xfc050007).
// Field order, types and defaults are the device side's binary contract;
// only nodeId is read here.
struct s_NodeList
{
    int32_t nodeId = 1;
    int32_t nodeType = 0;
    std::string nodeName;
    int32_t nodeState = 2;
    std::string serial;
    std::string address;
    int32_t flags = 0;
    std::string alias = "name1";
    std::vector<uint32_t> ports;
};

} // namespace Device
} // namespace ProtoModel
} // namespace LCD
