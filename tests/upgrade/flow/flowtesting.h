#pragma once

#include "testing/bytes.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/qtprint.h"
#include "testing/traffictext.h"
#include "upgrade/upgradeviewmodel.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

namespace flow_testing {

// A message-box record as the user interface must receive it; every field
// not named here is zero but visiable (1), tipTime (2000), deviceStatus (1).
QByteArray boxBytes(int32_t funcCode, int32_t boxType, int32_t subRate, int32_t totalRate,
                    const QByteArray& text, int32_t currentStatus);

// Exactly one line says this, and it carries the view model's context: level,
// the member that wrote it, source file and the default category.
::testing::AssertionResult loggedOnce(const testing_support::LogCapture& log, QtMsgType type,
                                      const QString& message, const char* member);

// The plug-in's component as the stand-in host created it. The accessor is
// inline, so it reads the member of the plug-in's object directly.
inline const std::string& nodeVersionOf(const Standin::PluginLoader& loader)
{
    return static_cast<const Upgrade::UpgradeViewModel*>(loader.componentObject())->currentNodeVersion();
}

// The real plug-in in the stand-in host, with helpers of the upgrade flow.
class FlowFixture : public testing_support::HostFixture
{
protected:
    static QByteArray updating(int32_t sub, int32_t total, const QByteArray& text = "Updating...")
    {
        return boxBytes(1, 5, sub, total, text, 1);
    }
    static QByteArray succeeded(int32_t sub, const QByteArray& text = "Device updated successfully.")
    {
        return boxBytes(1, 1, sub, -1, text, 2);
    }
    static QByteArray failed(const QByteArray& text = "Device update failed.")
    {
        return boxBytes(1, 4, 0, -1, text, 2);
    }
    static QByteArray hidden() { return boxBytes(-1, 0, 0, -1, {}, 2); }

    // Puts the device side's script back to its defaults with this firmware
    // version and runs the refresh, then forgets the traffic it made and the
    // boxes and results received.
    void refreshNodeVersion(const std::string& version);
    std::vector<std::string> lines() const { return testing_support::trafficLines(host.traffic()); }
    // The records the user interface received on 0xfc02001e, byte for byte.
    ::testing::AssertionResult boxesAre(const std::vector<QByteArray>& expected) const;
};

} // namespace flow_testing
