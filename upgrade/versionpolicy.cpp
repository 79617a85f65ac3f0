#include "upgrade/versionpolicy.h"

#include "upgrade/upgradeids.h"

#include <QRegExp>
#include <QString>

namespace Upgrade {
namespace Version {

int versionNumber(const std::string& version)
{
    return QString::fromUtf8(version.data(), int(version.size())).remove(QRegExp("[^\\d]")).toInt();
}

std::vector<int> digitsOf(const std::string& version)
{
    int number = versionNumber(version);
    std::vector<int> digits;
    if (number <= 0)
        return digits;
    for (;;) {
        digits.insert(digits.begin(), number % 10);
        if (number < 10)
            break;
        number /= 10;
    }
    return digits;
}

bool isBelowMinimum(const std::vector<int>& candidate, const std::vector<int>& minimum)
{
    for (size_t i = 0; i < minimum.size(); ++i) {
        if (i >= candidate.size() || candidate[i] < minimum[i])
            return true;
    }
    return false;
}

bool isSupportedDevice(const LCD::ProtoModel::Device::s_UpgradeInfo& info)
{
    return info.name == PackageMagic && info.modelID == SupportedModelId;
}

} // namespace Version
} // namespace Upgrade
