#include "exitcodes.h"
#include "simoptions.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("upgrade-sim"));
    Sim::SimOptions options;
    switch (options.parse(QCoreApplication::arguments(), QStringLiteral(UPGRADE_SIM_PLUGIN))) {
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
