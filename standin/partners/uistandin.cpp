#include "uistandin.h"

#include "host/imessage.h"
#include "host/ireply.h"
#include "standin/host/standinhost.h"
#include "upgrade/upgradeids.h"

#include <cstring>

namespace Standin {

UiStandin::UiStandin(StandinHost& host, std::string name)
    : host(host)
    , componentName(std::move(name))
{
}

UiStandin::~UiStandin()
{
    host.detach(componentName);
}

void UiStandin::registerWithHost()
{
    host.attach(componentName, this);
    host.events()->subscribe(Upgrade::MsgStartResult, componentName);
    host.events()->subscribe(Upgrade::MsgVerifyResult, componentName);
    host.events()->subscribe(Upgrade::MsgMessageBox, componentName);
}

const krt::IMessage* UiStandin::handleMessage(const krt::IMessage* message)
{
    if (!message || message->type() != krt::MessageTypeEvent)
        return nullptr;
    const auto* bytes = static_cast<const uint8_t*>(message->data());
    const int size = message->size();
    switch (message->id()) {
    case Upgrade::MsgStartResult:
    case Upgrade::MsgVerifyResult:
        if (size != 1 || !bytes) {
            ++malformed;
            break;
        }
        (message->id() == Upgrade::MsgStartResult ? startResults : verifyResults).push_back(bytes[0]);
        break;
    case Upgrade::MsgMessageBox: {
        LCD::Structs::MessageBoxInfo box;
        if (size != int(sizeof box) || !bytes) {
            ++malformed;
            break;
        }
        std::memcpy(&box, bytes, sizeof box);
        boxes.push_back(box);
        if (onBox)
            onBox(box);
        break;
    }
    default:
        break;
    }
    return nullptr;
}

QByteArray UiStandin::pathPayload(const QByteArray& path)
{
    QByteArray payload = path;
    payload.append('\0');
    return payload;
}

std::optional<QByteArray> UiStandin::sendCommandRaw(int id, const QByteArray& payload, bool withData)
{
    krt::ICommandDispatcher* commands = host.commands();
    krt::IMessage* request = commands->createMessage(
        id, withData ? payload.size() : 0, withData ? payload.constData() : nullptr, componentName.c_str());
    krt::IReply* reply = nullptr;
    commands->send(&request, &reply, 0);
    std::optional<QByteArray> answer;
    if (reply) {
        const char* data = static_cast<const char*>(reply->data());
        answer = data ? QByteArray(data, reply->size()) : QByteArray();
    }
    commands->releaseMessage(reinterpret_cast<void**>(&reply));
    commands->releaseMessage(reinterpret_cast<void**>(&request));
    return answer;
}

void UiStandin::postEventRaw(int id, const QByteArray& payload, bool withData)
{
    krt::IMessage* event = host.events()->createMessage(
        id, withData ? payload.size() : 0, withData ? payload.constData() : nullptr, componentName.c_str());
    host.events()->post(&event);
    host.processEvents();
}

std::optional<QByteArray> UiStandin::queryFileInfo(const QByteArray& path)
{
    return sendCommandRaw(Upgrade::MsgGetUpgradeFileInfo, pathPayload(path));
}

void UiStandin::verify(const QByteArray& path)
{
    postEventRaw(Upgrade::MsgGetUpgradeMD5, pathPayload(path));
}

void UiStandin::start(const QByteArray& path)
{
    postEventRaw(Upgrade::MsgSetUpgradeFile, pathPayload(path));
}

void UiStandin::returnBox(const LCD::Structs::MessageBoxInfo& box)
{
    postEventRaw(Upgrade::MsgMessageBoxReturned, QByteArray(reinterpret_cast<const char*>(&box), sizeof box));
}

} // namespace Standin
