#pragma once

#include <QJsonValue>
#include <QString>

#include <vector>

namespace Standin {
struct TrafficRecord;
}

namespace Sim {

// One decoded item of a payload, e.g. path "/tmp/a.upg" or status 1.
struct PayloadField
{
    QString key;
    QJsonValue value;
};

// Turns a message that crossed the host into a trace line or a JSON line,
// with its payload decoded by id: the path, the flag and result bytes, the
// message-box record in its log form, the progress report with its parts,
// the start command's file entries, the addresses of query wrappers.
//
// Progress parts and file entries are read through the addresses in the
// payload: call this while the message is being delivered (the host's
// observer), when the sender still holds them.
class TrafficFormatter
{
public:
    static std::vector<PayloadField> decode(const Standin::TrafficRecord& record);

    // "   12.345 ms  0xfc000029 getUpgradeFileInfo  command  uistandin -> upgradeviewmodel  size 41  path
    // ..."
    static QString traceLine(const Standin::TrafficRecord& record);
    // The same as one JSON object on one line, keys in a fixed order.
    static QString jsonLine(const Standin::TrafficRecord& record);

    static QString fieldsText(const std::vector<PayloadField>& fields);
    static QString fieldsJson(const std::vector<PayloadField>& fields);
    static QString jsonText(const QJsonValue& value);
};

} // namespace Sim
