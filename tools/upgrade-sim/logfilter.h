#pragma once

#include <QString>
#include <QtGlobal>

class QTextStream;

namespace Sim {

// Keeps the plug-in's log lines out of the progress display. Quiet drops
// debug and info lines and counts warnings; Show writes every line to a
// stream (stderr for --verbose, stdout between the trace lines for --trace).
// Critical and fatal lines always reach stderr.
class LogFilter
{
public:
    enum class Mode { Quiet, Show };

    static void install(Mode mode, QTextStream* stream = nullptr);
    static void uninstall();
    static int warnings();
    // Remembers the last line of that level that starts with `prefix` from
    // now on, for a verdict to quote the plug-in's own reason; watchAlso adds
    // another kind of line to those watched.
    static void watch(QtMsgType type, const QString& prefix = QString());
    static void watchAlso(QtMsgType type, const QString& prefix);
    static QString watched();

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);
};

} // namespace Sim
