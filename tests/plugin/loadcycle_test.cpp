#include "pluginlibrary.h"

#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "standin/partners/devicestandin.h"
#include "standin/partners/uistandin.h"
#include "testing/hostfixture.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

namespace {

// The host's whole life with the plug-in, several times over in one process:
// every round must leave nothing behind (the sanitizer build checks for
// leaks) and really unmap the library, so its load-time tables are rebuilt
// and released each time.
TEST(PluginLoadCycle, LoadCreateInitialiseDestroyUnloadRepeatedly)
{
    const QString path = testing_support::pluginPath();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Standin::StandinHost host;
        Standin::DeviceStandin device(host);
        Standin::UiStandin ui(host);
        device.registerWithHost();
        ui.registerWithHost();
        Standin::PluginLoader loader(host);

        ASSERT_TRUE(loader.load(path)) << loader.errorString().toStdString();
        loader.initialise();
        ui.postEventRaw(Upgrade::MsgUpgradeFinished, {});
        ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, Standin::UiStandin::pathPayload("/nonexistent.bin"));
        loader.unload();

        EXPECT_FALSE(testing_support::PluginLibrary::isResident(path));
        EXPECT_TRUE(host.faults().empty());
        EXPECT_EQ(host.liveMessages(), 0);
    }
}

} // namespace
