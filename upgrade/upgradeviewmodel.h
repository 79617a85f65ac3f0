#pragma once

#include "host/componenttmpl.h"
#include "message/messagehandler.h"
#include "protomodel/upgradeinfo.h"
#include "protomodel/upgradeprogress.h"
#include "upgrade/checkpacket.h"
#include "upgrade/fileidentity.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace krt {
class IMessage;
}

namespace Upgrade {

// The plug-in's one component: the view model behind the upgrade screen.
class UpgradeViewModel : public LCD::Message::MessageHandler
{
public:
    UpgradeViewModel();
    ~UpgradeViewModel() override;

    void onInit() override;

    // Package format and header reading.
    uint32_t getSmallEndSize(const QByteArray& bytes);
    bool checkVesk(const QByteArray& bytes);
    void decodeJson(const QString& json, CheckPacket& packet);
    LCD::ProtoModel::Device::s_UpgradeInfo getUpgradeInfo(QString path);

    // Package verification.
    QString calmd5(QList<QByteArray> parts) const;
    bool upgradeCheck(const QString& path);
    krt::IMessage* getUpgradeMD5(const krt::IMessage* msg);

    // Version policy and node-version refresh.
    std::vector<int> stringToVector(const std::string& version) const;
    bool isDownGrade(const std::string& version);
    bool isUnallowedDownGrade(const std::string& version, const std::string& minVersion) const;
    bool isDeviceTypeMatched(const LCD::ProtoModel::Device::s_UpgradeInfo& info);
    krt::IMessage* initNodeVersion(const krt::IMessage* msg);

    // Upgrade start and file-information query.
    krt::IMessage* setUpgradeFile(const krt::IMessage* msg);
    krt::IMessage* getUpgradeFileInfo(const krt::IMessage* msg);

    // Progress and message boxes.
    krt::IMessage* getDeviceInfo(const krt::IMessage* msg);
    krt::IMessage* changeUpgradeProgress(const krt::IMessage* msg);
    void dealUpgradeProgress(const LCD::ProtoModel::Device::s_UpgradeProgress& progress);
    void hideProgress();

    const std::string& currentNodeVersion() const { return nodeVersion; }

private:
    // Where the build enforces signatures, why this path may not start;
    // null when it may.
    const char* startRefusal(const QByteArray& path) const;

    std::string nodeVersion;
    // Kept only where the build enforces signatures: the package last
    // verified with a valid signature, and the files that file-information
    // answers were read from, so that only the file that was checked and
    // shown starts.
    struct CheckedFile
    {
        QByteArray path;
        Package::FileIdentity file;
    };
    CheckedFile verifiedPackage;
    QHash<QByteArray, Package::FileIdentity> answeredFiles;
};

} // namespace Upgrade

// Registration record of the component, defined with the view model so that
// it is filled at load right after the shared constant tables.
template <> krt::ComponentInfo krt::ComponentTmpl<Upgrade::UpgradeViewModel>::componentInfo;
