// The plug-in as the host sees it: its entry points and records, and its
// load/unload cycle. Its exports and SONAME are checked on the file by the
// plugin_elf_check test.
#include "host/componentinfo.h"
#include "message/messagehandler.h"
#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "testing/hostfixture.h"
#include "upgrade/upgradeids.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using testing_support::pluginPath;

class PluginEntryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(handle) << dlerror();
        info = reinterpret_cast<const krt::PluginInfo* (*)()>(dlsym(handle, "pluginfo"));
        init = reinterpret_cast<void (*)(krt::IHostApi*)>(dlsym(handle, "pluginit"));
        ASSERT_TRUE(info && init);
    }

    // A null host before closing, so no component made later in the process
    // finds a host that is gone.
    void TearDown() override
    {
        if (init)
            init(nullptr);
        if (handle)
            dlclose(handle);
    }

    void* handle = dlopen(pluginPath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    const krt::PluginInfo* (*info)() = nullptr;
    void (*init)(krt::IHostApi*) = nullptr;
};

// The records the host reads, the same before and after pluginit. The
// component is its own message handler, and it looks its services up once,
// when it is made: a later pluginit changes where new components register,
// not where earlier ones do.
TEST_F(PluginEntryTest, RecordsAndASecondPluginitThatServesLaterComponentsOnly)
{
    const krt::PluginInfo* before = info();
    Standin::StandinHost first;
    Standin::StandinHost second;
    init(&first);
    const krt::PluginInfo* plugin = info();
    ASSERT_EQ(plugin, before);
    EXPECT_STREQ(plugin->apiVersion, "0.1");
    EXPECT_STREQ(plugin->name, "upgradeviewmodel");
    EXPECT_STREQ(plugin->version, "0.1.0");
    ASSERT_TRUE(plugin->components && plugin->components[0]);
    EXPECT_EQ(plugin->components[1], nullptr);
    const krt::ComponentInfo& record = *plugin->components[0];
    EXPECT_STREQ(record.componentId, "talvo.lcd.viewmodel.upgrade");
    record.deletor(nullptr);

    void* early = record.creator();
    init(&second);
    void* late = record.creator();
    ASSERT_TRUE(early && late);
    EXPECT_EQ(static_cast<void*>(record.getMessageHandler(early)), early);
    const Standin::StandinMessage initialise(krt::MessageTypeEvent, LCD::Message::MsgInitialize, 0, nullptr,
                                             "host");
    EXPECT_EQ(record.getMessageHandler(early)->handleMessage(&initialise), nullptr);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_TRUE(second.registrations().empty());
    record.getMessageHandler(late)->handleMessage(&initialise);
    EXPECT_EQ(first.registrations().size(), 7u);
    EXPECT_EQ(second.registrations().size(), 7u);
    record.deletor(late);
    record.deletor(early);
}

// The host's whole life with the plug-in, twice in one process: every round
// must leave nothing behind (the sanitizer build checks for leaks) and
// really unmap the library, so its load-time tables are rebuilt and released
// each time.
TEST(PluginLoadCycle, LoadCreateInitialiseDestroyUnloadRepeatedly)
{
    const QString path = pluginPath();
    for (int round = 0; round < 2; ++round) {
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
        ui.sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo,
                          Standin::UiStandin::pathPayload("/nonexistent.bin"));
        loader.unload();

        void* resident = dlopen(path.toLocal8Bit().constData(), RTLD_LAZY | RTLD_NOLOAD);
        if (resident)
            dlclose(resident);
        EXPECT_FALSE(resident) << "library still mapped";
        EXPECT_TRUE(host.faults().empty());
        EXPECT_EQ(host.liveMessages(), 0);
    }
}

} // namespace
