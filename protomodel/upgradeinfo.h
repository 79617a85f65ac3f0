#pragma once

#include "json/fields.h"

#include <cstdint>
#include <string>

namespace LCD {
namespace ProtoModel {
namespace Device {

// Header of an upgrade package. modelID 0 means no header was read.
struct s_UpgradeInfo
{
    std::string name;
    int32_t modelID = 0;
    std::string mainVersion;
    std::string dataVersion;

    AJSON(name, modelID, mainVersion, dataVersion)
};

} // namespace Device
} // namespace ProtoModel
} // namespace LCD
