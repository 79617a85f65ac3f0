#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

#include <memory>

namespace Standin {
struct TrafficRecord;
}

namespace Sim {

// Watches the host: a trace line per message on a stream, a JSON line per
// message in a transcript file, or both. Keeps nothing of what it writes.
class TrafficLog
{
public:
    // `trace` may be null (no trace); an empty transcript path writes none.
    bool open(QTextStream* trace, const QString& transcriptPath);
    QString errorString() const { return error; }
    bool isActive() const { return traceOut || transcriptOut; }

    void write(const Standin::TrafficRecord& record);

private:
    QTextStream* traceOut = nullptr;
    QFile transcriptFile;
    std::unique_ptr<QTextStream> transcriptOut;
    QString error;
};

} // namespace Sim
