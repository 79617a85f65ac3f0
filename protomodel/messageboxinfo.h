#pragma once

#include <cstddef>
#include <cstdint>

class QDebug;

namespace LCD {
namespace Structs {

// The message-box record exchanged with the user interface as a raw
// 812-byte memory image: texts are zero-terminated UTF-8 in 256-byte arrays.
struct MessageBoxInfo
{
    int32_t funcCode = 0; // 1 the upgrade, -1 the hide record
    int32_t boxType = 0; // 5 progress, 1 success, 4 failure
    int32_t subRate = 0;
    int32_t totalRate = 0; // -1: none
    uint8_t reserved[8] = {};
    char text[256] = {};
    bool bAccept = false;
    bool visiable = false;
    bool canRevoke = false;
    uint8_t padding0 = 0;
    int32_t tipTime = 0;
    char btnText[256] = {};
    char secondBtn[256] = {};
    bool isLocal = false;
    uint8_t padding1[3] = {};
    int32_t currentStatus = 0; // 1 running, 2 finished
    int32_t deviceStatus = 0;
};

static_assert(sizeof(MessageBoxInfo) == 812, "message-box record is 812 bytes");
static_assert(alignof(MessageBoxInfo) == 4, "message-box record is 4-byte aligned");
static_assert(offsetof(MessageBoxInfo, funcCode) == 0, "layout");
static_assert(offsetof(MessageBoxInfo, boxType) == 4, "layout");
static_assert(offsetof(MessageBoxInfo, subRate) == 8, "layout");
static_assert(offsetof(MessageBoxInfo, totalRate) == 12, "layout");
static_assert(offsetof(MessageBoxInfo, reserved) == 16, "layout");
static_assert(offsetof(MessageBoxInfo, text) == 24, "layout");
static_assert(offsetof(MessageBoxInfo, bAccept) == 280, "layout");
static_assert(offsetof(MessageBoxInfo, visiable) == 281, "layout");
static_assert(offsetof(MessageBoxInfo, canRevoke) == 282, "layout");
static_assert(offsetof(MessageBoxInfo, tipTime) == 284, "layout");
static_assert(offsetof(MessageBoxInfo, btnText) == 288, "layout");
static_assert(offsetof(MessageBoxInfo, secondBtn) == 544, "layout");
static_assert(offsetof(MessageBoxInfo, isLocal) == 800, "layout");
static_assert(offsetof(MessageBoxInfo, currentStatus) == 804, "layout");
static_assert(offsetof(MessageBoxInfo, deviceStatus) == 808, "layout");
static_assert(sizeof(bool) == 1, "flags are one byte");

// One-line log form of a record.
QDebug operator<<(QDebug stream, const MessageBoxInfo& info);

} // namespace Structs
} // namespace LCD
