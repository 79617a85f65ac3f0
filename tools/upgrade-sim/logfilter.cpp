#include "logfilter.h"

#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <utility>
#include <vector>

namespace Sim {

namespace {

struct State
{
    LogFilter::Mode mode = LogFilter::Mode::Quiet;
    QTextStream* stream = nullptr;
    QtMessageHandler previous = nullptr;
    bool installed = false;
    int warnings = 0;
    std::vector<std::pair<QtMsgType, QString>> watchedKinds; // level and prefix
    QString watchedLine;
};

State& state()
{
    static State instance;
    return instance;
}

const char* levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

QString formatLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QString line = QStringLiteral("log  %1  %2").arg(QLatin1String(levelName(type)), message.trimmed());
    if (context.file)
        line += QStringLiteral("  (%1:%2)")
                    .arg(QFileInfo(QString::fromUtf8(context.file)).fileName())
                    .arg(context.line);
    return line;
}

} // namespace

void LogFilter::install(Mode mode, QTextStream* stream)
{
    State& s = state();
    s.mode = mode;
    s.stream = stream;
    s.warnings = 0;
    if (!s.installed)
        s.previous = qInstallMessageHandler(&LogFilter::handle);
    s.installed = true;
}

void LogFilter::uninstall()
{
    State& s = state();
    if (s.installed)
        qInstallMessageHandler(s.previous);
    s.installed = false;
}

int LogFilter::warnings()
{
    return state().warnings;
}

void LogFilter::watch(QtMsgType type, const QString& prefix)
{
    state().watchedKinds.clear();
    state().watchedLine.clear();
    watchAlso(type, prefix);
}

void LogFilter::watchAlso(QtMsgType type, const QString& prefix)
{
    state().watchedKinds.emplace_back(type, prefix);
}

QString LogFilter::watched()
{
    return state().watchedLine;
}

void LogFilter::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    State& s = state();
    if (type == QtWarningMsg)
        ++s.warnings;
    for (const auto& [watchedType, prefix] : s.watchedKinds) {
        if (watchedType == type && message.startsWith(prefix))
            s.watchedLine = message.trimmed();
    }
    const QString line = formatLine(type, context, message);
    if (s.mode == Mode::Show && s.stream) {
        *s.stream << line << '\n';
        s.stream->flush();
    } else if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace Sim
