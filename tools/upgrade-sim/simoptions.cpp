#include "simoptions.h"

#include <QCommandLineParser>

namespace Sim {

namespace {

const char Description[]
    = "Rehearses a whole firmware upgrade: loads the upgrade plug-in into a host of its own,\n"
      "plays the user interface and the device side, and shows what the plug-in does.\n"
      "\n"
      "Without a package it builds a demo package (three images, correct digests) in a\n"
      "temporary folder and removes it afterwards.\n"
      "\n"
      "--signed and --trust run the rehearsal build of the plug-in with a trust folder of\n"
      "the run's own, so the package verifies only with a signature by one of its keys.\n"
      "\n"
      "The road: device announces itself, file information, verification, start,\n"
      "progress reports until the end box, version refresh.\n"
      "\n"
      "Plug-in log lines stay out of the progress display: debug and info lines are\n"
      "dropped and warnings (verification writes one per 5 MiB chunk) are only counted;\n"
      "the count is shown at the end. --verbose prints every log line on stderr, --trace\n"
      "prints them on stdout between the messages they belong to. Critical lines always\n"
      "go to stderr.\n"
      "\n"
      "Exit codes: 0 upgraded, 1 start refused or upgrade failed, 2 package rejected\n"
      "(wrong device, downgrade, not verified), 3 usage or load error.";

struct Definitions
{
    QCommandLineOption plugin{"plugin",
                              "Plug-in to load (default: the installed one beside this program, or the "
                              "build tree's).",
                              "path"};
    QCommandLineOption deviceVersion{"device-version", "Firmware version the device reports (default 1.0.0).",
                                     "version"};
    QCommandLineOption refuseStart{"refuse-start", "The device side refuses the upgrade start."};
    QCommandLineOption failAt{"fail-at", "The device side reports a failure at this progress.", "percent"};
    QCommandLineOption noNode{"no-node", "The device side answers the node query with no node."};
    QCommandLineOption replySize{"reply-size", "Bytes of the device's answer to the start (default 1).", "n"};
    QCommandLineOption progressStep{"progress-step", "Progress per report from the device (default 5).",
                                    "percent"};
    QCommandLineOption allowDowngrade{"allow-downgrade", "Go on with a package older than the device."};
    QCommandLineOption trace{"trace", "Print every message that crosses the host, one line each."};
    QCommandLineOption transcript{"transcript", "Write every message as a JSON line to this file.", "file"};
    QCommandLineOption repeat{"repeat",
                              "Run the whole road n times in one process and report the resident "
                              "memory after the first and the last run.",
                              "n"};
    QCommandLineOption demoSize{"demo-size", "Image data of the demo package, e.g. 24M, 64K (default 24M).",
                                "size"};
    QCommandLineOption pace{"pace", "Pause between progress reports (default 40 on a terminal, else 0).",
                            "ms"};
    QCommandLineOption verbose{"verbose", "Print the plug-in's log lines on stderr."};
    QCommandLineOption storageFault{"storage-fault",
                                    "Reads of the package fail from this byte on, with errno EIO or the "
                                    "one given (a number or a name such as ENXIO).",
                                    "offset[:errno]"};
    QCommandLineOption signedDemo{"signed",
                                  "Sign the demo package with a throwaway key and run a plug-in that "
                                  "trusts it."};
    QCommandLineOption trust{"trust", "Run a plug-in that trusts this public key (PEM); repeatable.", "key"};
};

// A whole number within bounds, or an error line naming the option.
bool readNumber(const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high,
                int& target, QString& error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high) {
        error = QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                    .arg(option.names().first())
                    .arg(low)
                    .arg(high)
                    .arg(parser.value(option));
        return false;
    }
    target = value;
    return true;
}

// A plug-in of another build would not take the run's trust folder, and a
// given package is signed already.
bool readTrust(const QCommandLineParser& parser, const Definitions& d, const QString& package, QString& error)
{
    if (parser.isSet(d.signedDemo) && !package.isEmpty())
        error = QStringLiteral("--signed is for the demo package, not for '%1'").arg(package);
    else if ((parser.isSet(d.signedDemo) || parser.isSet(d.trust)) && parser.isSet(d.plugin))
        error = QStringLiteral("--signed and --trust run the rehearsal build of the plug-in; --plugin "
                               "cannot choose another");
    return error.isEmpty();
}

} // namespace

qint64 SimOptions::parseSize(const QString& text)
{
    QString digits = text.trimmed().toUpper();
    qint64 unit = 1;
    if (digits.endsWith(QLatin1Char('K')))
        unit = 1024;
    else if (digits.endsWith(QLatin1Char('M')))
        unit = 1024 * 1024;
    if (unit != 1)
        digits.chop(1);
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    // A demo stays well inside what a package can list (32-bit record sizes).
    if (!ok || value < 0 || value > (qint64(1) << 31) / unit)
        return -1;
    return value * unit;
}

SimOptions::Parse SimOptions::parse(const QStringList& arguments, const QString& defaultPlugin,
                                    const QString& rehearsalPlugin)
{
    const Definitions d;
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    parser.addPositionalArgument("package", "Upgrade package to use (default: a demo package).", "[package]");
    parser.addOptions({d.plugin, d.deviceVersion, d.refuseStart, d.failAt, d.noNode, d.replySize,
                       d.progressStep, d.allowDowngrade, d.trace, d.transcript, d.repeat, d.demoSize, d.pace,
                       d.verbose, d.storageFault, d.signedDemo, d.trust});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return Parse::Error;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        helpText = parser.helpText();
        return Parse::Help;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        error = QStringLiteral("one package at most, got %1").arg(positional.size());
        return Parse::Error;
    }
    package = positional.value(0);
    signedDemo = parser.isSet(d.signedDemo);
    trustKeys = parser.values(d.trust);
    if (!readTrust(parser, d, package, error))
        return Parse::Error;
    plugin = parser.isSet(d.plugin) ? parser.value(d.plugin)
        : rehearsesTrust()          ? rehearsalPlugin
                                    : defaultPlugin;
    if (parser.isSet(d.deviceVersion))
        deviceVersion = parser.value(d.deviceVersion);
    refuseStart = parser.isSet(d.refuseStart);
    noNode = parser.isSet(d.noNode);
    allowDowngrade = parser.isSet(d.allowDowngrade);
    trace = parser.isSet(d.trace);
    verbose = parser.isSet(d.verbose);
    transcript = parser.value(d.transcript);
    if (!readNumber(parser, d.failAt, 0, 100, failAt, error)
        || !readNumber(parser, d.replySize, 0, 64, replySize, error)
        || !readNumber(parser, d.progressStep, 1, 100, progressStep, error)
        || !readNumber(parser, d.repeat, 1, 1000000, repeat, error)
        || !readNumber(parser, d.pace, 0, 10000, paceMs, error))
        return Parse::Error;
    if (parser.isSet(d.storageFault)
        && !Standin::FaultyStorage::parse(parser.value(d.storageFault), storageFault, error)) {
        error = QStringLiteral("--storage-fault wants OFFSET[:ERRNO]: %1").arg(error);
        return Parse::Error;
    }
    if (parser.isSet(d.demoSize)) {
        demoSize = parseSize(parser.value(d.demoSize));
        if (demoSize < 0) {
            error = QStringLiteral("--demo-size wants a size such as 24M, 512K or 0, not '%1'")
                        .arg(parser.value(d.demoSize));
            return Parse::Error;
        }
        if (!package.isEmpty()) {
            error = QStringLiteral("--demo-size is for the demo package, not for '%1'").arg(package);
            return Parse::Error;
        }
    }
    return Parse::Run;
}

} // namespace Sim
