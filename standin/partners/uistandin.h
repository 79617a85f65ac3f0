#pragma once

#include "host/imessagehandler.h"
#include "protomodel/messageboxinfo.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Standin {

class StandinHost;

// The user-interface side: names a package by its path, asks for its file
// information, verification and start, and keeps what comes back.
class UiStandin : public krt::IMessageHandler
{
public:
    explicit UiStandin(StandinHost& host, std::string name = "uistandin");
    ~UiStandin() override;

    // Attaches to the host and subscribes to the three events it receives.
    void registerWithHost();
    const krt::IMessage* handleMessage(const krt::IMessage* message) override;

    // Path payload: the UTF-8 path and its terminating zero.
    static QByteArray pathPayload(const QByteArray& path);

    // Command 0xfc000029; the reply's bytes, or nothing without a reply.
    std::optional<QByteArray> queryFileInfo(const QByteArray& path);
    // Event 0xfc000010, then the host's queue is run.
    void verify(const QByteArray& path);
    // Event 0xfc000006, then the host's queue is run.
    void start(const QByteArray& path);
    // Event 0xfc0c0c13 with a record, then the host's queue is run.
    void returnBox(const LCD::Structs::MessageBoxInfo& box);

    // Any request with raw payload bytes (missing or unterminated paths).
    std::optional<QByteArray> sendCommandRaw(int id, const QByteArray& payload, bool withData = true);
    void postEventRaw(int id, const QByteArray& payload, bool withData = true);

    // What the user interface has received.
    std::vector<uint8_t> startResults;
    std::vector<uint8_t> verifyResults;
    std::vector<LCD::Structs::MessageBoxInfo> boxes;
    int malformed = 0; // received payloads of the wrong size
    std::function<void(const LCD::Structs::MessageBoxInfo&)> onBox;

private:
    StandinHost& host;
    std::string componentName;
};

} // namespace Standin
