#pragma once

#include <QString>

namespace Sim {

// What the process tells its caller.
enum ExitCode {
    ExitUpgraded = 0, // the device reported success
    ExitFailed = 1, // the start was refused or the upgrade failed
    ExitRejected = 2, // the package does not fit the device or did not verify
    ExitUsage = 3, // bad options, missing package, plug-in not loadable
};

// How one road ended: the exit code and, unless upgraded, its one-line reason.
struct RoadOutcome
{
    int code = ExitUpgraded;
    QString message;

    bool operator==(const RoadOutcome& other) const { return code == other.code && message == other.message; }
    bool operator!=(const RoadOutcome& other) const { return !(*this == other); }
};

} // namespace Sim
