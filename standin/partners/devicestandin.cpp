#include "devicestandin.h"

#include "host/imessage.h"
#include "protomodel/nodefirmwareversion.h"
#include "protomodel/nodelist.h"
#include "protomodel/queryinfo.h"
#include "standin/host/standinhost.h"
#include "upgrade/upgradeids.h"

#include <cstring>

namespace Standin {

using namespace LCD::ProtoModel::Device;
using LCD::GlobalMessageHander::QueryInfo;
using LCD::GlobalMessageHander::RequestInfo;

namespace {

// The 8-byte payload of a query is the address of the sender's wrapper.
template <typename T> T* wrapperAddress(const krt::IMessage* message)
{
    if (message->size() != 8 || !message->data())
        return nullptr;
    T* address = nullptr;
    std::memcpy(&address, message->data(), sizeof address);
    return address;
}

} // namespace

DeviceStandin::DeviceStandin(StandinHost& host, std::string name)
    : host(host)
    , componentName(std::move(name))
{
}

DeviceStandin::~DeviceStandin()
{
    host.detach(componentName);
}

void DeviceStandin::registerWithHost()
{
    host.attach(componentName, this);
    host.commands()->registerCommand(Upgrade::MsgQueryNodeList, componentName);
    host.commands()->registerCommand(Upgrade::MsgQueryFirmwareVersion, componentName);
    host.commands()->registerCommand(Upgrade::MsgStartUpgrade, componentName);
}

const krt::IMessage* DeviceStandin::handleMessage(const krt::IMessage* message)
{
    if (!message || message->type() != krt::MessageTypeCommand)
        return nullptr;
    switch (message->id()) {
    case Upgrade::MsgQueryNodeList:
        return answerNodeQuery(message);
    case Upgrade::MsgQueryFirmwareVersion:
        return answerVersionRequest(message);
    case Upgrade::MsgStartUpgrade:
        return answerStart(message);
    default:
        return nullptr;
    }
}

const krt::IMessage* DeviceStandin::answerNodeQuery(const krt::IMessage* message)
{
    ++nodeQueries;
    auto* query = wrapperAddress<QueryInfo<s_NodeList>>(message);
    if (!query)
        return nullptr;
    switch (plan.node) {
    case NodeAnswer::Fill:
        query->result = s_NodeList();
        query->result.nodeId = plan.nodeId;
        break;
    case NodeAnswer::ClearSlot:
        if (void* slot = static_cast<const StandinMessage*>(message)->origin())
            std::memset(slot, 0, 8);
        break;
    case NodeAnswer::Ignore:
        break;
    }
    return nullptr;
}

const krt::IMessage* DeviceStandin::answerVersionRequest(const krt::IMessage* message)
{
    ++versionRequests;
    auto* request = wrapperAddress<RequestInfo<s_NodeFirmwareVersion, QString>>(message);
    if (!request)
        return nullptr;
    lastVersionKey = request->request;
    if (plan.answerVersion)
        request->response.firmwareVersion = plan.firmwareVersion;
    return nullptr;
}

const krt::IMessage* DeviceStandin::answerStart(const krt::IMessage* message)
{
    ++startRequests;
    lastStartEntries.clear();
    // The 24-byte payload is the image of the sender's list object: first,
    // one-past-last and end-of-storage addresses. Read the entries in place.
    if (message->size() == 24 && message->data()) {
        const s_UpgradeFileConfig* bounds[3] = {};
        std::memcpy(bounds, message->data(), sizeof bounds);
        if (bounds[0] && bounds[1] >= bounds[0])
            lastStartEntries.assign(bounds[0], bounds[1]);
    }
    if (!plan.answerStart)
        return nullptr;
    const QByteArray reply(std::max(plan.startReplySize, 0), static_cast<char>(plan.startByte));
    return host.center()->createMessage(message->id(), componentName.c_str(), reply.size(),
                                        reply.isEmpty() ? nullptr : reply.constData(), 0);
}

void DeviceStandin::sendProgress(int32_t status, int32_t progress, const std::vector<int32_t>& partProgress)
{
    report = s_UpgradeProgress();
    report.nodeId = plan.nodeId;
    report.status = status;
    report.progress = progress;
    for (size_t i = 0; i < partProgress.size(); ++i) {
        s_UpgradeProgressPart part;
        part.partId = static_cast<int32_t>(i);
        part.progress = partProgress[i];
        part.details.resize(1);
        report.parts.push_back(part);
    }
    // The payload is the report's memory image; its padding is sent as zeros
    // so that traces of the same run are identical.
    QByteArray image(reinterpret_cast<const char*>(&report), sizeof report);
    std::memset(image.data() + 12, 0, 4);
    sendRawProgress(image);
}

void DeviceStandin::sendRawProgress(const QByteArray& bytes)
{
    krt::IMessage* event
        = host.events()->createMessage(Upgrade::MsgUpgradeProgress, bytes.size(),
                                       bytes.isEmpty() ? nullptr : bytes.constData(), componentName.c_str());
    host.events()->send(&event, 9);
}

} // namespace Standin
