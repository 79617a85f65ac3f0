#pragma once

#include "host/componentinfo.h"

namespace krt {
class IHostApi;
}

// The library's only exports.
extern "C" {
__attribute__((visibility("default"))) const krt::PluginInfo* pluginfo();
__attribute__((visibility("default"))) void pluginit(krt::IHostApi* api);
}

// The null-terminated component table of this plug-in.
extern const krt::ComponentInfo* const lcdupgradeviewmodelplugin_krt_componentInfoTable[2];
