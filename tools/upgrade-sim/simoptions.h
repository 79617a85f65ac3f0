#pragma once

#include "standin/storage/faultystorage.h"

#include <QString>
#include <QStringList>

namespace Sim {

// Everything the command line decides.
struct SimOptions
{
    enum class Parse { Run, Help, Error };

    QString package; // empty: build the demo package
    QString plugin;
    QString deviceVersion = QStringLiteral("1.0.0");
    bool refuseStart = false;
    int failAt = -1; // percent; -1: the device never fails
    bool noNode = false;
    int replySize = 1; // bytes of the device's answer to the start
    int progressStep = 5; // percent per progress report
    bool allowDowngrade = false;
    bool trace = false;
    bool verbose = false;
    QString transcript;
    int repeat = 1;
    qint64 demoSize = 24 * 1024 * 1024; // bytes of image data in the demo package
    bool signedDemo = false; // the demo signed with a throwaway key that the plug-in trusts
    QStringList trustKeys; // public keys the plug-in trusts for this run
    int paceMs = -1; // pause between reports; -1: by terminal
    Standin::FaultyStorage::Fault storageFault; // offset -1: the package reads well
    QString helpText;
    QString error; // one line, when parse() gives Error

    // Reads the arguments (program name first). The default plug-in is the
    // one installed or built with this program; with --signed or --trust it
    // is the rehearsal build, which takes its trust folder from the simulator.
    Parse parse(const QStringList& arguments, const QString& defaultPlugin,
                const QString& rehearsalPlugin = QString());

    bool rehearsesTrust() const { return signedDemo || !trustKeys.isEmpty(); }

    // "24M", "512K", "1048576": a size in bytes; -1 when not a size.
    static qint64 parseSize(const QString& text);
};

} // namespace Sim
