#pragma once

#include "exitcodes.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

class QTextStream;

namespace Standin {
class DeviceStandin;
class StandinHost;
class UiStandin;
} // namespace Standin

namespace Sim {

class PackagePeek;
class ProgressView;
struct SimOptions;

// One upgrade from the user's choice to the end, with the user interface and
// the device side played as the options say: the device announces itself,
// the user interface asks for the file information, the verification and
// the start, the device side transfers and reports progress, the final box
// goes back to the view model and the version is refreshed. Every verdict is
// taken from what the plug-in sends, never from the script.
class UpgradeRoad
{
public:
    UpgradeRoad(Standin::StandinHost& host, Standin::DeviceStandin& device, Standin::UiStandin& ui,
                const SimOptions& options, ProgressView& view, QTextStream& out);

    RoadOutcome play(const QString& packagePath, const PackagePeek& package, bool narrate);

private:
    void resetSides();
    void announceDevice();
    std::optional<RoadOutcome> queryFileInfo(const PackagePeek& package);
    std::optional<RoadOutcome> verify(const PackagePeek& package);
    std::optional<RoadOutcome> start();
    RoadOutcome transfer(const PackagePeek& package);
    RoadOutcome finish(int versionRequestsBefore);
    void say(const char* step, const QString& text);

    Standin::StandinHost& host;
    Standin::DeviceStandin& device;
    Standin::UiStandin& ui;
    const SimOptions& options;
    ProgressView& view;
    QTextStream& out;
    QByteArray path;
    bool narrating = true;
};

} // namespace Sim
