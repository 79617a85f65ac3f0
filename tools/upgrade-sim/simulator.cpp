#include "simulator.h"

#include "logfilter.h"
#include "residentmemory.h"
#include "upgraderoad.h"

#include <QFileInfo>

#include <cstdio>

namespace Sim {

namespace {

// A path payload carries at most 127 bytes of text and its terminating zero.
constexpr int MaxPathBytes = 127;
// Pause between progress reports when a person watches the bar.
constexpr int TerminalPaceMs = 40;

} // namespace

Simulator::Simulator(const SimOptions& chosen, bool terminal)
    : options(chosen)
    , terminal(terminal)
    , out(stdout)
    , err(stderr)
    , view(out, terminal && !chosen.trace && !chosen.verbose)
{
    if (options.paceMs < 0)
        options.paceMs = terminal && !options.trace ? TerminalPaceMs : 0;
}

Simulator::~Simulator()
{
    Standin::FaultyStorage::disarm();
    host.setObserver(nullptr);
    loader.unload();
    LogFilter::uninstall();
}

int Simulator::fail(int code, const QString& message)
{
    view.settle();
    out.flush();
    err << "upgrade-sim: " << message << '\n';
    err.flush();
    return code;
}

int Simulator::run()
{
    if (options.trace)
        LogFilter::install(LogFilter::Mode::Show, &out);
    else if (options.verbose)
        LogFilter::install(LogFilter::Mode::Show, &err);
    else
        LogFilter::install(LogFilter::Mode::Quiet);
    if (!traffic.open(options.trace ? &out : nullptr, options.transcript))
        return fail(ExitUsage, traffic.errorString());
    if (options.rehearsesTrust() && !trust.create(options.trustKeys, options.signedDemo))
        return fail(ExitUsage, trust.errorString());
    if (!loadPlugin() || !preparePackage())
        return ExitUsage;
    // Armed after the simulator's own look at the package: from here on only
    // the plug-in reads it.
    if (options.storageFault.offset >= 0 && !Standin::FaultyStorage::arm(packagePath, options.storageFault))
        return fail(ExitUsage, QStringLiteral("cannot arm the storage fault on %1").arg(packagePath));
    attachSides();
    const RoadOutcome outcome = playAll();
    if (outcome.code != ExitUpgraded)
        return fail(outcome.code, outcome.message);
    view.settle();
    out << "upgraded    the device reports firmware "
        << QString::fromStdString(device.script().firmwareVersion) << '\n';
    if (!options.trace && !options.verbose && LogFilter::warnings() > 0)
        out << "plug-in log " << LogFilter::warnings() << " warnings (--verbose shows them)\n";
    out.flush();
    return ExitUpgraded;
}

bool Simulator::preparePackage()
{
    if (options.package.isEmpty()) {
        if (!demo.create(options.demoSize, trust.signingKey())) {
            fail(ExitUsage, demo.errorString());
            return false;
        }
        packagePath = demo.path();
    } else {
        const QFileInfo given(options.package);
        if (!given.isFile()) {
            fail(ExitUsage, QStringLiteral("no such package: %1").arg(options.package));
            return false;
        }
        packagePath = given.absoluteFilePath();
    }
    if (packagePath.toUtf8().size() > MaxPathBytes) {
        fail(ExitUsage,
             QStringLiteral("package path longer than %1 bytes, more than the host's path message "
                            "carries: %2")
                 .arg(MaxPathBytes)
                 .arg(packagePath));
        return false;
    }
    package.read(packagePath);
    out << "package     " << packagePath << (options.package.isEmpty() ? " (demo)" : "") << '\n';
    out << "            " << package.summary() << '\n';
    return true;
}

bool Simulator::loadPlugin()
{
    // Installed, the rehearsal build comes with the tools' package only.
    if (options.rehearsesTrust() && !QFileInfo::exists(options.plugin)) {
        fail(ExitUsage, QStringLiteral("--signed and --trust need the rehearsal build of the plug-in, "
                                       "which is not installed: %1")
                            .arg(options.plugin));
        return false;
    }
    if (!loader.load(options.plugin)) {
        fail(ExitUsage, loader.errorString());
        return false;
    }
    out << "plug-in     " << options.plugin << " (" << loader.componentName() << ")\n";
    out.flush();
    return true;
}

// The partners register before the view model is initialised, as on the
// device; the host keeps no history, the observer sees every message.
void Simulator::attachSides()
{
    device.registerWithHost();
    ui.registerWithHost();
    loader.initialise();
    host.setRecording(false);
    host.clearRecords();
    ui.onBox = [this](const LCD::Structs::MessageBoxInfo& box) { view.show(box); };
    if (traffic.isActive())
        host.setObserver([this](const Standin::TrafficRecord& record) { traffic.write(record); });
}

// A message left unreleased, a fault the host saw, a payload of the wrong
// size: the plug-in broke the host's contract.
std::optional<QString> Simulator::contractBreach()
{
    if (!host.faults().empty())
        return QStringLiteral("host contract broken: %1").arg(QString::fromStdString(host.faults().front()));
    if (host.liveMessages() != 0)
        return QStringLiteral("host contract broken: %1 messages never released").arg(host.liveMessages());
    if (ui.malformed != 0)
        return QStringLiteral(
                   "host contract broken: %1 payloads of the wrong size reached the user interface")
            .arg(ui.malformed);
    return std::nullopt;
}

RoadOutcome Simulator::playAll()
{
    UpgradeRoad road(host, device, ui, options, view, out);
    RoadOutcome first;
    qint64 firstRss = 0;
    qint64 firstHeap = 0;
    for (int run = 1; run <= options.repeat; ++run) {
        const RoadOutcome outcome = road.play(packagePath, package, run == 1);
        if (const auto breach = contractBreach())
            return RoadOutcome{ExitFailed, QStringLiteral("run %1: %2").arg(run).arg(*breach)};
        if (run == 1) {
            first = outcome;
            firstRss = ResidentMemory::kib();
            firstHeap = ResidentMemory::heapKib();
        } else if (outcome != first) {
            return RoadOutcome{
                ExitFailed,
                QStringLiteral("run %1 ended unlike run 1: %2")
                    .arg(run)
                    .arg(outcome.message.isEmpty() ? QStringLiteral("upgraded") : outcome.message)};
        }
    }
    if (options.repeat > 1)
        reportMemory({firstRss, firstHeap}, {ResidentMemory::kib(), ResidentMemory::heapKib()});
    return first;
}

void Simulator::reportMemory(MemoryFigures first, MemoryFigures last)
{
    view.settle();
    out << QStringLiteral("runs        %1, all ended alike\n").arg(options.repeat);
    out << QStringLiteral("memory      resident %1 KiB after run 1, %2 KiB after run %3, growth %4 KiB\n")
               .arg(first.residentKib)
               .arg(last.residentKib)
               .arg(options.repeat)
               .arg(last.residentKib - first.residentKib);
    out << QStringLiteral("heap        in use %1 KiB after run 1, %2 KiB after run %3, growth %4 KiB\n")
               .arg(first.heapKib)
               .arg(last.heapKib)
               .arg(options.repeat)
               .arg(last.heapKib - first.heapKib);
    out.flush();
}

} // namespace Sim
