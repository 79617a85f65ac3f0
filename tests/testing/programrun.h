#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace testing_support {

// What a run of a program left behind.
struct ProgramRun
{
    int exitCode = -1; // -1 when it did not start or crashed
    bool crashed = false;
    QString out;
    QString err; // or why it did not start

    QStringList outLines() const { return out.split(QLatin1Char('\n')); }
};

// Runs the program to its end, as a user would from a shell. A run that
// hangs is ended by the test's own timeout.
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

} // namespace testing_support
