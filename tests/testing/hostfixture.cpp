#include "testing/hostfixture.h"

#include <algorithm>

namespace testing_support {

QString pluginPath()
{
    return QStringLiteral(UPGRADE_PLUGIN_PATH);
}

QString rehearsalPluginPath()
{
    return QStringLiteral(UPGRADE_REHEARSAL_PLUGIN_PATH);
}

void HostFixture::SetUp()
{
    device.registerWithHost();
    ui.registerWithHost();
    ASSERT_TRUE(loader.load(plugin())) << loader.errorString().toStdString();
    loader.initialise();
    host.clearRecords();
}

void HostFixture::TearDown()
{
    host.processEvents();
    loader.unload();
    EXPECT_TRUE(host.faults().empty()) << host.faults().front();
    EXPECT_EQ(host.liveMessages(), 0) << "messages created and never released";
}

std::vector<Standin::TrafficRecord> HostFixture::trafficOf(const std::vector<int>& ids) const
{
    std::vector<Standin::TrafficRecord> picked;
    for (const Standin::TrafficRecord& record : host.traffic()) {
        if (std::find(ids.begin(), ids.end(), record.id) != ids.end())
            picked.push_back(record);
    }
    return picked;
}

} // namespace testing_support
