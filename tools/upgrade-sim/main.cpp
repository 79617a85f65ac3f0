#include "exitcodes.h"
#include "simoptions.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QTextStream>

#include <malloc.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    // Big blocks (the verification's 5 MiB buffer) go back to the system when
    // freed. glibc's adaptive threshold would keep the first run's freed buffer
    // on the heap from the second run on, which a soak reads as growth.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("upgrade-sim"));
    Sim::SimOptions options;
    switch (options.parse(QCoreApplication::arguments(), QStringLiteral(UPGRADE_SIM_PLUGIN),
                          QStringLiteral(UPGRADE_SIM_REHEARSAL_PLUGIN))) {
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
