#pragma once

#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "standin/partners/devicestandin.h"
#include "standin/partners/uistandin.h"

#include <gtest/gtest.h>

#include <QString>

#include <vector>

namespace testing_support {

// Path of the plug-in built with these tests.
QString pluginPath();
// Its rehearsal build, whose trust folder is UPGRADE_REHEARSAL_TRUST_DIR.
QString rehearsalPluginPath();

// The real plug-in loaded into the stand-in host, with the device side and
// the user interface attached, initialised and with its records cleared.
class HostFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    virtual QString plugin() const { return pluginPath(); }

    // Traffic of the given ids only, in order.
    std::vector<Standin::TrafficRecord> trafficOf(const std::vector<int>& ids) const;

    Standin::StandinHost host;
    Standin::PluginLoader loader{host};
    Standin::DeviceStandin device{host};
    Standin::UiStandin ui{host};
};

} // namespace testing_support
