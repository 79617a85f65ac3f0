#pragma once

#include "testing/bytes.h"
#include "testing/hostfixture.h"
#include "testing/logcapture.h"
#include "testing/qtprint.h"
#include "testing/traffictext.h"
#include "upgrade/upgradeviewmodel.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

namespace flow_testing {

// Signatures as the log context carries them.
constexpr const char* SetUpgradeFileSignature
    = "krt::IMessage* Upgrade::UpgradeViewModel::setUpgradeFile(const krt::IMessage*)";
constexpr const char* GetUpgradeFileInfoSignature
    = "krt::IMessage* Upgrade::UpgradeViewModel::getUpgradeFileInfo(const krt::IMessage*)";
constexpr const char* GetDeviceInfoSignature
    = "krt::IMessage* Upgrade::UpgradeViewModel::getDeviceInfo(const krt::IMessage*)";
constexpr const char* IsDownGradeSignature
    = "bool Upgrade::UpgradeViewModel::isDownGrade(const std::string&)";
constexpr const char* IsUnallowedDownGradeSignature
    = "bool Upgrade::UpgradeViewModel::isUnallowedDownGrade(const std::string&, const std::string&) const";

// Message-box records as the user interface must receive them, written byte
// by byte at their offsets rather than through the record's declaration.
QByteArray updatingBox(int32_t subRate, int32_t totalRate, const QByteArray& text = "Updating...");
QByteArray succeededBox(int32_t subRate, const QByteArray& text = "Device updated successfully.");
QByteArray failedBox(const QByteArray& text = "Device update failed.");
QByteArray hideBox();

// Checks one log line with the context the view model's lines carry: level,
// message, function signature, file and category.
::testing::AssertionResult isViewModelLine(const testing_support::LogLine& line, QtMsgType type,
                                           const QString& message, const char* function);
// Checks there is exactly one line from the view model and that it is this one.
::testing::AssertionResult onlyViewModelLine(const testing_support::LogCapture& log, QtMsgType type,
                                             const QString& message, const char* function);

// Traffic lines several steps of the flow share.
inline const std::string ReportLine = "send 0xfc080003 devicestandin>upgradeviewmodel 40/9";
inline const std::string BoxLine = "send 0xfc02001e upgradeviewmodel>uistandin 812/9";
inline const std::string NodeQueryLine = "command 0xfc050007 upgradeviewmodel>devicestandin 8";
inline const std::string VersionQueryLine = "command 0xfc050015 upgradeviewmodel>devicestandin 8";
// A file-information query for this path and its two-byte reply.
std::vector<std::string> fileInfoLines(const QByteArray& path);
// The reply's bytes: the package fits the device (magic "Vesk", model 29974);
// the package is a downgrade.
QByteArray fileInfoReply(bool matched, bool downGrade);

QByteArray headerJson(const QByteArray& name, int modelId, const QByteArray& mainVersion,
                      const QByteArray& dataVersion);
// A package that holds a header only (an empty check block, no images).
QByteArray headerPackage(const QByteArray& magic, const QByteArray& header);
// A complete package: header, check block listing the images, and each image
// with its sub-header holding the right MD5 digest.
QByteArray fullPackage(const QByteArray& header, const std::vector<QByteArray>& images);

// Package files in a temporary folder, removed with the object.
class PackageFolder
{
public:
    QByteArray write(const QByteArray& name, const QByteArray& bytes);
    QByteArray missing(const QByteArray& name) const;

private:
    QTemporaryDir dir;
};

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
    // Puts the device side's script back to its defaults with this firmware
    // version and runs the refresh, then forgets the traffic it made and the
    // boxes and results received.
    void refreshNodeVersion(const std::string& version);
    std::vector<std::string> lines() const { return testing_support::trafficLines(host.traffic()); }
    // The records on 0xfc02001e, byte for byte both as sent and as the user
    // interface received them.
    ::testing::AssertionResult boxesAre(const std::vector<QByteArray>& expected) const;
};

} // namespace flow_testing
