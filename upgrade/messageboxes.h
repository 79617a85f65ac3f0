#pragma once

#include "protomodel/messageboxinfo.h"
#include "protomodel/upgradeprogress.h"

#include <QString>

#include <cstdint>

// The message boxes of the upgrade screen, built from the device side's
// progress reports.
namespace Upgrade {
namespace Boxes {

// A progress report's state while the upgrade runs.
constexpr int32_t ProgressUpdating = 1;

// The record's function code for the upgrade's own boxes.
constexpr int32_t FuncCodeUpgrade = 1;

// Size of the progress payload: the memory image of the sender's report.
constexpr int ProgressImageSize = 40;

// The report behind a progress payload of ProgressImageSize bytes; its part
// list is copied out of the sender's memory, which is valid during the call.
LCD::ProtoModel::Device::s_UpgradeProgress progressFromImage(const void* payload);

// What a report asks of the screen.
enum class Step {
    Ignore, // an unknown state
    Hide, // withdraw the box
    Show, // the progress box
    Finish, // the final box: the upgrade has ended
};

// The box a report shows, and what to do with it.
Step boxForProgress(const LCD::ProtoModel::Device::s_UpgradeProgress& progress,
                    LCD::Structs::MessageBoxInfo& box);

// The record that withdraws the box.
LCD::Structs::MessageBoxInfo hiddenBox();

// Copies a translated text with its terminating zero; a text too long for the
// field is cut before the first UTF-8 sequence that does not fit.
void setText(char (&field)[256], const QString& text);

} // namespace Boxes
} // namespace Upgrade
