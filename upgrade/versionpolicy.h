#pragma once

#include "protomodel/upgradeinfo.h"

#include <string>
#include <vector>

// Which packages the device takes: its own type, and versions compared by the
// number their digits spell.
namespace Upgrade {
namespace Version {

// 1.2.10 is 1210. Too many digits for an int, or none, give 0.
int versionNumber(const std::string& version);

// The digits of versionNumber, most significant first; empty for 0.
std::vector<int> digitsOf(const std::string& version);

// Digit by digit against the minimum: a larger digit does not settle it, a
// later smaller one, or a missing one, still makes the candidate too old.
bool isBelowMinimum(const std::vector<int>& candidate, const std::vector<int>& minimum);

// The package's magic (carried in `name`) and model are this device's.
bool isSupportedDevice(const LCD::ProtoModel::Device::s_UpgradeInfo& info);

} // namespace Version
} // namespace Upgrade
