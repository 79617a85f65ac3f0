#include "upgradeviewmodel.h"

// The shared display constants are built with this source, before the
// registration record below (both at library load).
#include "constants/constants.h"

#include "host/imessage.h"
#include "plugin/componenttmpl.h"
#include "upgrade/upgradeids.h"

#include <QDebug>

template <>
krt::ComponentInfo krt::ComponentTmpl<Upgrade::UpgradeViewModel>::componentInfo = {
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::creator,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::deletor,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::getMessageHandler,
    "talvo.lcd.viewmodel.upgrade",
    "{\"end\":0 }\r\n",
};

namespace Upgrade {

UpgradeViewModel::UpgradeViewModel()
{
    name = "upgradeviewmodel";
}

UpgradeViewModel::~UpgradeViewModel() = default;

void UpgradeViewModel::onInit()
{
    // Small lambdas capturing only `this` fit std::function's inline buffer,
    // so dispatch never allocates.
    registerEvent(MsgSetUpgradeFile, [this](const krt::IMessage* m) { return setUpgradeFile(m); });
    registerEvent(MsgUpgradeFinished, [this](const krt::IMessage* m) { return initNodeVersion(m); });
    registerEvent(MsgDeviceInfoChanged, [this](const krt::IMessage* m) { return initNodeVersion(m); });
    registerCommand(MsgGetUpgradeFileInfo, [this](const krt::IMessage* m) { return getUpgradeFileInfo(m); });
    registerEvent(MsgMessageBoxReturned, [this](const krt::IMessage* m) { return getDeviceInfo(m); });
    registerEvent(MsgGetUpgradeMD5, [this](const krt::IMessage* m) { return getUpgradeMD5(m); });
    registerEvent(MsgUpgradeProgress, [this](const krt::IMessage* m) { return changeUpgradeProgress(m); });
}

// ---- Package format and header reading --------------------------------------

uint32_t UpgradeViewModel::getSmallEndSize(const QByteArray& bytes)
{
    Q_UNUSED(bytes);
    return 0;
}

bool UpgradeViewModel::checkVesk(const QByteArray& bytes)
{
    Q_UNUSED(bytes);
    return true;
}

void UpgradeViewModel::decodeJson(const QString& json, CheckPacket& packet)
{
    Q_UNUSED(json);
    Q_UNUSED(packet);
}

LCD::ProtoModel::Device::s_UpgradeInfo UpgradeViewModel::getUpgradeInfo(QString path)
{
    Q_UNUSED(path);
    return {};
}

// ---- Package verification ---------------------------------------------------

QString UpgradeViewModel::calmd5(QList<QByteArray> parts) const
{
    Q_UNUSED(parts);
    return {};
}

bool UpgradeViewModel::upgradeCheck(const QString& path)
{
    Q_UNUSED(path);
    return false;
}

krt::IMessage* UpgradeViewModel::getUpgradeMD5(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

// ---- Version policy and node-version refresh ---------------------------------

std::vector<int> UpgradeViewModel::stringToVector(const std::string& version) const
{
    Q_UNUSED(version);
    return {};
}

bool UpgradeViewModel::isDownGrade(const std::string& version)
{
    Q_UNUSED(version);
    return false;
}

bool UpgradeViewModel::isUnallowedDownGrade(const std::string& version, const std::string& minVersion) const
{
    Q_UNUSED(version);
    Q_UNUSED(minVersion);
    return false;
}

bool UpgradeViewModel::isDeviceTypeMatched(const LCD::ProtoModel::Device::s_UpgradeInfo& info)
{
    Q_UNUSED(info);
    return false;
}

krt::IMessage* UpgradeViewModel::initNodeVersion(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

// ---- Upgrade start and file-information query --------------------------------

krt::IMessage* UpgradeViewModel::setUpgradeFile(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

krt::IMessage* UpgradeViewModel::getUpgradeFileInfo(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

// ---- Progress and message boxes ----------------------------------------------

krt::IMessage* UpgradeViewModel::getDeviceInfo(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

krt::IMessage* UpgradeViewModel::changeUpgradeProgress(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    return nullptr;
}

void UpgradeViewModel::dealUpgradeProgress(const LCD::ProtoModel::Device::s_UpgradeProgress& progress)
{
    Q_UNUSED(progress);
}

void UpgradeViewModel::hideProgress()
{
}

} // namespace Upgrade
