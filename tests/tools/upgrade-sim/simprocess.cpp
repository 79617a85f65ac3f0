#include "simprocess.h"

#include <QProcess>
#include <QRegularExpression>

namespace simtesting {

QStringList SimRun::linesStartingWith(const QString& prefix) const
{
    QStringList picked;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            picked << line;
    }
    return picked;
}

QString SimRun::lastBoxLine() const
{
    const QStringList boxes = linesStartingWith(QStringLiteral("  box"));
    return boxes.isEmpty() ? QString() : boxes.last();
}

SimRun runSim(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(UPGRADE_SIM_PROGRAM), arguments);
    SimRun run;
    if (!process.waitForStarted() || !process.waitForFinished(-1)) {
        run.err = process.errorString();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString normaliseTranscript(const QString& transcript)
{
    QString text = transcript;
    text.replace(QRegularExpression(QStringLiteral("\"time_ms\":[0-9.]+")), QStringLiteral("\"time_ms\":0"));
    text.replace(
        QRegularExpression(QStringLiteral("/[^\"]*/upgrade-sim-[A-Za-z0-9]+/")), QStringLiteral("<demo>/"));
    text.replace(QRegularExpression(QStringLiteral("\"address\":\"0x[0-9a-f]+\"")),
        QStringLiteral("\"address\":\"<address>\""));
    return text;
}

} // namespace simtesting
