#include "messagenames.h"

namespace Standin {

const char* messageName(int id)
{
    switch (static_cast<unsigned>(id)) {
    // clang-format off
    case 0xfc000006u: return "setUpgradeFile";
    case 0xfc000010u: return "verifyPackage";
    case 0xfc000029u: return "getUpgradeFileInfo";
    case 0xfc080003u: return "upgradeProgress";
    case 0xfc0c0c08u: return "upgradeFinished";
    case 0xfc0c0c0du: return "refreshDeviceInfo";
    case 0xfc0c0c13u: return "messageBoxReturned";
    case 0xfc050007u: return "queryNodeList";
    case 0xfc050015u: return "queryFirmwareVersion";
    case 0xfc050006u: return "startUpgrade";
    case 0xfc020005u: return "startResult";
    case 0xfc020019u: return "verifyResult";
    case 0xfc02001eu: return "messageBox";
    case 0xffff0000u: return "initialize";
    default: return "?";
        // clang-format on
    }
}

} // namespace Standin
