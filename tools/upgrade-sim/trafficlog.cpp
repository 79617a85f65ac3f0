#include "trafficlog.h"

#include "trafficformatter.h"

namespace Sim {

bool TrafficLog::open(QTextStream* trace, const QString& transcriptPath)
{
    traceOut = trace;
    if (transcriptPath.isEmpty())
        return true;
    transcriptFile.setFileName(transcriptPath);
    if (!transcriptFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        error = QStringLiteral("cannot write the transcript '%1': %2")
                    .arg(transcriptPath, transcriptFile.errorString());
        return false;
    }
    transcriptOut = std::make_unique<QTextStream>(&transcriptFile);
    transcriptOut->setCodec("UTF-8");
    return true;
}

void TrafficLog::write(const Standin::TrafficRecord& record)
{
    if (traceOut) {
        *traceOut << TrafficFormatter::traceLine(record) << '\n';
        traceOut->flush();
    }
    if (transcriptOut) {
        *transcriptOut << TrafficFormatter::jsonLine(record) << '\n';
        transcriptOut->flush();
    }
}

} // namespace Sim
