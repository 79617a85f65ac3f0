#include "plugin.h"

#include "host/api.h"
#include "upgrade/upgradeviewmodel.h"

const krt::ComponentInfo* const lcdupgradeviewmodelplugin_krt_componentInfoTable[2] = {
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::componentInfo,
    nullptr,
};

const krt::PluginInfo* pluginfo()
{
    static const krt::PluginInfo pinfo = {
        "0.1",   lcdupgradeviewmodelplugin_krt_componentInfoTable,       "upgradeviewmodel",
        "0.1.0", "{\"desc\":\"upgrade view model plugin!\",\"end\":0 }",
    };
    return &pinfo;
}

void pluginit(krt::IHostApi* api)
{
    krt::api::get().host = api;
}
