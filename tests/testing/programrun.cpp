#include "testing/programrun.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace testing_support {

ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(-1)) {
        run.err = process.errorString();
        ADD_FAILURE() << program.toStdString() << ": " << run.err.toStdString();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = run.crashed ? -1 : process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace testing_support
