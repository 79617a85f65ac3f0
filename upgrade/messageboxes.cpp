#include "upgrade/messageboxes.h"

#include <QObject>

#include <algorithm>
#include <cstring>

namespace Upgrade {
namespace Boxes {

namespace {

using LCD::ProtoModel::Device::s_UpgradeProgress;
using LCD::ProtoModel::Device::s_UpgradeProgressPart;

// Progress report states.
constexpr int32_t ProgressHidden = 0;
constexpr int32_t ProgressSucceeded = 2;
constexpr int32_t ProgressFailed = 3;

// Message-box record values.
constexpr int32_t FuncCodeHide = -1;
constexpr int32_t BoxSuccess = 1;
constexpr int32_t BoxFailure = 4;
constexpr int32_t BoxProgress = 5;
constexpr int32_t StatusRunning = 1;
constexpr int32_t StatusFinished = 2;
constexpr int32_t TipTimeMs = 2000;

// The 40-byte progress payload is the memory image of the sender's report;
// its part list still lives in the sender's memory while the handler runs.
struct ProgressImage
{
    int32_t nodeId;
    int32_t status;
    int32_t progress;
    int32_t padding;
    const s_UpgradeProgressPart* first;
    const s_UpgradeProgressPart* last;
    const s_UpgradeProgressPart* storageEnd;
};
static_assert(sizeof(ProgressImage) == sizeof(s_UpgradeProgress), "progress image is the report's size");
static_assert(sizeof(ProgressImage) == ProgressImageSize, "progress payload is 40 bytes");

// The largest part still below 100; finished parts say nothing about the
// current step. Without parts the overall rate, six times faster, stands in.
int32_t subRateOf(const s_UpgradeProgress& report)
{
    if (report.parts.empty()) {
        // Six times in 32-bit arithmetic as the device does, wrapping instead
        // of overflowing.
        const auto scaled = static_cast<int32_t>(static_cast<uint32_t>(report.progress) * 6u);
        return std::min(scaled, 100);
    }
    int32_t rate = 0;
    for (const s_UpgradeProgressPart& part : report.parts) {
        if (part.progress <= 99 && part.progress > rate)
            rate = part.progress;
    }
    return rate;
}

LCD::Structs::MessageBoxInfo baseBox(int32_t funcCode, int32_t currentStatus)
{
    LCD::Structs::MessageBoxInfo box;
    box.funcCode = funcCode;
    box.totalRate = -1;
    box.bAccept = false;
    box.visiable = true;
    box.canRevoke = false;
    box.tipTime = TipTimeMs;
    box.isLocal = false;
    box.currentStatus = currentStatus;
    box.deviceStatus = 1;
    return box;
}

} // namespace

s_UpgradeProgress progressFromImage(const void* payload)
{
    ProgressImage image;
    std::memcpy(&image, payload, sizeof image);
    s_UpgradeProgress report;
    report.nodeId = image.nodeId;
    report.status = image.status;
    report.progress = image.progress;
    if (image.first && image.last > image.first)
        report.parts.assign(image.first, image.last);
    return report;
}

Step boxForProgress(const s_UpgradeProgress& progress, LCD::Structs::MessageBoxInfo& box)
{
    box = baseBox(FuncCodeUpgrade, -1);
    box.subRate = subRateOf(progress);
    switch (progress.status) {
    case ProgressHidden:
        return Step::Hide;
    case ProgressUpdating:
        setText(box.text, QObject::tr("Updating..."));
        box.boxType = BoxProgress;
        box.totalRate = progress.progress;
        box.currentStatus = StatusRunning;
        return Step::Show;
    case ProgressSucceeded:
        setText(box.text, QObject::tr("Device updated successfully."));
        box.boxType = BoxSuccess;
        box.currentStatus = StatusFinished;
        return Step::Finish;
    case ProgressFailed:
        setText(box.text, QObject::tr("Device update failed."));
        box.boxType = BoxFailure;
        box.subRate = 0;
        box.currentStatus = StatusFinished;
        return Step::Finish;
    default:
        return Step::Ignore;
    }
}

LCD::Structs::MessageBoxInfo hiddenBox()
{
    LCD::Structs::MessageBoxInfo box = baseBox(FuncCodeHide, StatusFinished);
    box.subRate = 0;
    return box;
}

void setText(char (&field)[256], const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    int length = std::min(utf8.size(), int(sizeof field) - 1);
    if (length < utf8.size()) {
        while (length > 0 && (uchar(utf8[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, utf8.constData(), size_t(length));
    std::memset(field + length, 0, sizeof field - size_t(length));
}

} // namespace Boxes
} // namespace Upgrade
