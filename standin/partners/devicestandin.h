#pragma once

#include "host/imessagehandler.h"
#include "protomodel/upgradefileconfig.h"
#include "protomodel/upgradeprogress.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace Standin {

class StandinHost;

// The device-side component: answers the node query, the firmware-version
// request and the upgrade start, and sends progress reports. What it answers
// is scripted, so every bad day of the device can be rehearsed.
class DeviceStandin : public krt::IMessageHandler
{
public:
    enum class NodeAnswer {
        Fill, // fills the query wrapper in place
        ClearSlot, // no node: clears the sender's address slot
        Ignore, // leaves the wrapper's defaults as they are
    };

    struct Script
    {
        NodeAnswer node = NodeAnswer::Fill;
        int32_t nodeId = 1;
        bool answerVersion = true;
        std::string firmwareVersion = "1.0.0";
        bool answerStart = true; // false: the start command gets no reply
        int startReplySize = 1; // bytes of the reply; only 1 is the contract
        uint8_t startByte = 1; // 0 refuses the upgrade
    };

    explicit DeviceStandin(StandinHost& host, std::string name = "devicestandin");
    ~DeviceStandin() override;

    // Attaches to the host and registers the three commands it answers.
    void registerWithHost();
    const krt::IMessage* handleMessage(const krt::IMessage* message) override;

    Script& script() { return plan; }
    const std::string& name() const { return componentName; }

    // Sends event 0xfc080003 at once; the part list lives in this object's
    // memory until the send returns.
    void sendProgress(int32_t status, int32_t progress, const std::vector<int32_t>& partProgress = {});
    // Sends event 0xfc080003 with arbitrary payload bytes (wrong sizes).
    void sendRawProgress(const QByteArray& bytes);

    // What the device side has seen.
    int nodeQueries = 0;
    int versionRequests = 0;
    int startRequests = 0;
    QString lastVersionKey;
    std::vector<LCD::ProtoModel::Device::s_UpgradeFileConfig> lastStartEntries;

private:
    const krt::IMessage* answerNodeQuery(const krt::IMessage* message);
    const krt::IMessage* answerVersionRequest(const krt::IMessage* message);
    const krt::IMessage* answerStart(const krt::IMessage* message);

    StandinHost& host;
    std::string componentName;
    Script plan;
    LCD::ProtoModel::Device::s_UpgradeProgress report;
};

} // namespace Standin
