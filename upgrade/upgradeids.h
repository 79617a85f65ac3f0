#pragma once

namespace Upgrade {

// clang-format off
// Message ids of the upgrade road. Received:
constexpr int MsgSetUpgradeFile = static_cast<int>(0xfc000006);       // event, path
constexpr int MsgGetUpgradeMD5 = static_cast<int>(0xfc000010);        // event, path
constexpr int MsgGetUpgradeFileInfo = static_cast<int>(0xfc000029);   // command, path -> 2 bytes
constexpr int MsgUpgradeProgress = static_cast<int>(0xfc080003);      // event, 40-byte progress image
constexpr int MsgUpgradeFinished = static_cast<int>(0xfc0c0c08);      // event, refreshes the node version
constexpr int MsgDeviceInfoChanged = static_cast<int>(0xfc0c0c0d);    // event, refreshes the node version
constexpr int MsgMessageBoxReturned = static_cast<int>(0xfc0c0c13);   // event, 812-byte record
// Sent:
constexpr int MsgQueryNodeList = static_cast<int>(0xfc050007);        // command, 8-byte wrapper address
constexpr int MsgQueryFirmwareVersion = static_cast<int>(0xfc050015); // command, 8-byte wrapper address
constexpr int MsgStartUpgrade = static_cast<int>(0xfc050006);         // command, 24-byte list -> 1 byte
constexpr int MsgStartResult = static_cast<int>(0xfc020005);          // event, 1 byte
constexpr int MsgVerifyResult = static_cast<int>(0xfc020019);         // event, 1 byte
constexpr int MsgMessageBox = static_cast<int>(0xfc02001e);           // event, 812-byte record
// clang-format on

// The one supported device type.
constexpr int SupportedModelId = 29974;
constexpr const char* PackageMagic = "Vesk";

} // namespace Upgrade
