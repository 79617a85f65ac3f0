#include "commands.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const char Usage[] = "usage: upgrade-pack <create|info|verify|sign> [options] [--help]\n";

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("upgrade-pack"));
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return Commands::fail(QStringLiteral("no command given; %1").arg(QLatin1String(Usage).trimmed()),
                              Commands::ExitUsage);
    const QString command = arguments.takeAt(1);
    // Each sub-command parses its own options; the program name stays first.
    arguments.front() += QLatin1Char(' ') + command;
    if (command == QLatin1String("create"))
        return Commands::create(arguments);
    if (command == QLatin1String("info"))
        return Commands::info(arguments);
    if (command == QLatin1String("verify"))
        return Commands::verify(arguments);
    if (command == QLatin1String("sign"))
        return Commands::sign(arguments);
    if (command == QLatin1String("-h") || command == QLatin1String("--help")
        || command == QLatin1String("help")) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    return Commands::fail(
        QStringLiteral("unknown command '%1'; %2").arg(command, QLatin1String(Usage).trimmed()),
        Commands::ExitUsage);
}
