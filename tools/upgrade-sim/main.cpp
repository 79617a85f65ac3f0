#include "exitcodes.h"
#include "simoptions.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <malloc.h>
#include <unistd.h>

namespace {

// A plug-in beside the program: the installed one, else the build tree's
// (both relative to the program's folder); the installed path when neither
// exists, for the error line to name.
QString besideProgram(const char* installed, const char* built)
{
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString installedPath = QDir::cleanPath(folder.filePath(QString::fromUtf8(installed)));
    const QString builtPath = QDir::cleanPath(folder.filePath(QString::fromUtf8(built)));
    return QFileInfo::exists(installedPath) || !QFileInfo::exists(builtPath) ? installedPath : builtPath;
}

} // namespace

int main(int argc, char* argv[])
{
    // Big blocks (the verification's 5 MiB buffer) go back to the system when
    // freed. glibc's adaptive threshold would keep the first run's freed buffer
    // on the heap from the second run on, which a soak reads as growth.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("upgrade-sim"));
    Sim::SimOptions options;
    switch (options.parse(QCoreApplication::arguments(),
                          besideProgram(UPGRADE_SIM_INSTALLED_PLUGIN, UPGRADE_SIM_BUILT_PLUGIN),
                          besideProgram(UPGRADE_SIM_INSTALLED_REHEARSAL, UPGRADE_SIM_BUILT_REHEARSAL))) {
    case Sim::SimOptions::Parse::Help:
        QTextStream(stdout) << options.helpText;
        return Sim::ExitUpgraded;
    case Sim::SimOptions::Parse::Error:
        QTextStream(stderr) << "upgrade-sim: " << options.error << " (--help lists the options)\n";
        return Sim::ExitUsage;
    case Sim::SimOptions::Parse::Run:
        break;
    }
    Sim::Simulator simulator(options, isatty(STDOUT_FILENO) != 0);
    return simulator.run();
}
