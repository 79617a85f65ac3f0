#pragma once

#include "demopackage.h"
#include "exitcodes.h"
#include "packagepeek.h"
#include "progressview.h"
#include "rehearsaltrust.h"
#include "simoptions.h"
#include "trafficlog.h"

#include "standin/host/pluginloader.h"
#include "standin/host/standinhost.h"
#include "standin/partners/devicestandin.h"
#include "standin/partners/uistandin.h"

#include <QTextStream>

namespace Sim {

// The whole program: the stand-in host with the plug-in loaded by path, the
// device side and the user interface attached, the package chosen or built,
// and the road played as often as asked.
class Simulator
{
public:
    Simulator(const SimOptions& options, bool terminal);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The exit code; every error has been written as one line on stderr.
    int run();

private:
    int fail(int code, const QString& message);
    bool preparePackage();
    bool loadPlugin();
    void attachSides();
    RoadOutcome playAll();
    std::optional<QString> contractBreach();
    struct MemoryFigures
    {
        qint64 residentKib;
        qint64 heapKib;
    };
    void reportMemory(MemoryFigures first, MemoryFigures last);

    SimOptions options;
    bool terminal;
    QTextStream out;
    QTextStream err;
    Standin::StandinHost host;
    Standin::PluginLoader loader{host};
    Standin::DeviceStandin device{host};
    Standin::UiStandin ui{host};
    RehearsalTrust trust;
    DemoPackage demo;
    PackagePeek package;
    QString packagePath;
    ProgressView view;
    TrafficLog traffic;
};

} // namespace Sim
