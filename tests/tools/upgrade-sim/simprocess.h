#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace simtesting {

// What a run of the built upgrade-sim left behind.
struct SimRun {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;

    // The last line of stdout that starts with "  box".
    QString lastBoxLine() const;
    // stdout lines that start with `prefix`.
    QStringList linesStartingWith(const QString& prefix) const;
};

// Runs the program with the arguments, output not a terminal.
SimRun runSim(const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// A transcript with what differs between runs replaced: times, the demo's
// temporary folder, query wrapper addresses.
QString normaliseTranscript(const QString& transcript);

} // namespace simtesting
