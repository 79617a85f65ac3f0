#include "upgraderoad.h"

#include "devicetransfer.h"
#include "logfilter.h"
#include "packagepeek.h"
#include "progressview.h"
#include "simoptions.h"
#include "transferplan.h"

#include "protomodel/messageboxinfo.h"
#include "standin/host/standinhost.h"
#include "standin/partners/devicestandin.h"
#include "standin/partners/uistandin.h"
#include "upgrade/upgradeids.h"

#include <QRegularExpression>
#include <QTextStream>

#include <cstring>

namespace Sim {

namespace {

QString yesNo(uint8_t flag)
{
    return flag ? QStringLiteral("yes") : QStringLiteral("no");
}

// What the verify line says of the package's signature record: a signer only
// where the plug-in logged that it checked the signature (it logs the valid
// case at debug level); a record it did not judge is only named, since a
// plug-in that trusts no key verifies the digests alone.
QString signatureNote(bool verified, const QString& loggedLine, const QString& recordKeyId)
{
    static const QRegularExpression valid(QStringLiteral("^signature valid, key id \"([0-9a-f]+)\""));
    const QRegularExpressionMatch checked = valid.match(loggedLine);
    if (verified && checked.hasMatch())
        return QStringLiteral(" (signed by %1)").arg(checked.captured(1));
    if (recordKeyId.isEmpty())
        return QString();
    if (verified)
        return QStringLiteral(" (signature record %1 not checked: the plug-in trusts no key)").arg(recordKeyId);
    return QStringLiteral(" (signature record %1)").arg(recordKeyId);
}

QString boxText(const LCD::Structs::MessageBoxInfo& box)
{
    return QString::fromUtf8(box.text, int(strnlen(box.text, sizeof box.text)));
}

} // namespace

UpgradeRoad::UpgradeRoad(Standin::StandinHost& host, Standin::DeviceStandin& device, Standin::UiStandin& ui,
                         const SimOptions& options, ProgressView& view, QTextStream& out)
    : host(host)
    , device(device)
    , ui(ui)
    , options(options)
    , view(view)
    , out(out)
{
}

void UpgradeRoad::say(const char* step, const QString& text)
{
    if (!narrating)
        return;
    view.settle();
    out << QStringLiteral("%1 %2").arg(QLatin1String(step), -11).arg(text) << '\n';
    out.flush();
}

RoadOutcome UpgradeRoad::play(const QString& packagePath, const PackagePeek& package, bool narrate)
{
    narrating = narrate;
    view.setEnabled(narrate);
    path = packagePath.toUtf8();
    resetSides();
    announceDevice();
    if (auto rejected = queryFileInfo(package))
        return *rejected;
    if (auto rejected = verify(package))
        return *rejected;
    if (auto refused = start())
        return *refused;
    return transfer(package);
}

// Every run starts from the scripted device and an empty user interface;
// what they keep is cleared, not grown.
void UpgradeRoad::resetSides()
{
    Standin::DeviceStandin::Script& script = device.script();
    script = Standin::DeviceStandin::Script();
    script.node = options.noNode ? Standin::DeviceStandin::NodeAnswer::ClearSlot
                                 : Standin::DeviceStandin::NodeAnswer::Fill;
    script.firmwareVersion = options.deviceVersion.toStdString();
    script.startByte = options.refuseStart ? 0 : 1;
    script.startReplySize = options.replySize;
    device.nodeQueries = device.versionRequests = device.startRequests = 0;
    ui.boxes.clear();
    ui.startResults.clear();
    ui.verifyResults.clear();
    ui.malformed = 0;
}

// The device side tells the host its information changed, as after boot; the
// view model learns the firmware version from it.
void UpgradeRoad::announceDevice()
{
    krt::IMessage* event
        = host.events()->createMessage(Upgrade::MsgDeviceInfoChanged, 0, nullptr, device.name().c_str());
    host.events()->post(&event);
    host.processEvents();
    say("device",
        options.noNode
            ? QStringLiteral("no node to report")
            : QStringLiteral("node %1, firmware %2").arg(device.script().nodeId).arg(options.deviceVersion));
}

std::optional<RoadOutcome> UpgradeRoad::queryFileInfo(const PackagePeek& package)
{
    // A header the plug-in could not read is refused with a warning saying why.
    LogFilter::watch(QtWarningMsg);
    const std::optional<QByteArray> reply = ui.queryFileInfo(path);
    const QString unreadHeader = LogFilter::watched();
    if (!reply || reply->size() != 2) {
        say("file info", QStringLiteral("no answer"));
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: the plug-in gave no answer to the "
                                          "file-information query")};
    }
    const uint8_t matched = uint8_t(reply->at(0));
    const uint8_t downgrade = uint8_t(reply->at(1));
    say("file info",
        QStringLiteral("device type matches: %1, downgrade: %2")
            .arg(yesNo(matched), matched ? yesNo(downgrade) : QStringLiteral("-")));
    if (!matched && !unreadHeader.isEmpty())
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: not made for this device type (the plug-in "
                                          "logged: %1)")
                               .arg(unreadHeader)};
    if (!matched)
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: not made for this device type "
                                          "(Vesk, model %1)")
                               .arg(Upgrade::SupportedModelId)};
    if (downgrade && !options.allowDowngrade)
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: it would lower the device's firmware "
                                          "from %1 to %2 (--allow-downgrade goes on)")
                               .arg(options.deviceVersion, package.dataVersion)};
    return std::nullopt;
}

std::optional<RoadOutcome> UpgradeRoad::verify(const PackagePeek& package)
{
    // The refusals whose reason only the plug-in's log tells, and whether it
    // checked a signature.
    LogFilter::watch(QtDebugMsg, QStringLiteral("Error reading file:"));
    LogFilter::watchAlso(QtWarningMsg, QStringLiteral("signature check fail:"));
    LogFilter::watchAlso(QtDebugMsg, QStringLiteral("signature valid, key id"));
    ui.verify(path);
    const QString loggedReason = LogFilter::watched();
    if (ui.verifyResults.empty()) {
        say("verify", QStringLiteral("no result"));
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: the plug-in gave no verification result")};
    }
    const bool verified = ui.verifyResults.back() != 0;
    say("verify",
        (verified ? QStringLiteral("verified") : QStringLiteral("not verified"))
            + signatureNote(verified, loggedReason, package.signerKeyId));
    if (!verified && !loggedReason.isEmpty())
        return RoadOutcome{
            ExitRejected,
            QStringLiteral("package rejected: verification failed (the plug-in logged: %1)").arg(loggedReason)};
    if (!verified)
        return RoadOutcome{ExitRejected,
                           QStringLiteral("package rejected: verification failed "
                                          "(package structure or an image digest)")};
    return std::nullopt;
}

std::optional<RoadOutcome> UpgradeRoad::start()
{
    ui.start(path);
    if (ui.startResults.empty()) {
        const bool noNode = device.nodeQueries > 0 && device.startRequests == 0;
        say("start", QStringLiteral("no start result"));
        return RoadOutcome{ExitFailed,
                           noNode ? QStringLiteral("upgrade not started: the device side reported no node")
                                  : QStringLiteral("upgrade not started: the plug-in reported no start "
                                                   "result")};
    }
    if (ui.startResults.back() == 0) {
        say("start", QStringLiteral("refused"));
        QString reason = QStringLiteral("upgrade refused: the device side did not accept the start");
        if (options.replySize != 1)
            reason += QStringLiteral(" (its answer had %1 bytes, not 1)").arg(options.replySize);
        return RoadOutcome{ExitFailed, reason};
    }
    say("start", QStringLiteral("accepted by the device side"));
    return std::nullopt;
}

RoadOutcome UpgradeRoad::transfer(const PackagePeek& package)
{
    TransferPlan plan(package.imageSizes, options.progressStep, options.failAt);
    say("transfer",
        QStringLiteral("%1 parts, %2% per report").arg(plan.partsAt(0).size()).arg(options.progressStep));
    const int requestsBefore = device.versionRequests;
    DeviceTransfer(device, plan, options.paceMs).run(package.dataVersion.toStdString());
    return finish(requestsBefore);
}

// Judges the end box, hands it back to the view model as the user interface
// does when the box closes, and reports the refreshed version.
RoadOutcome UpgradeRoad::finish(int versionRequestsBefore)
{
    if (ui.boxes.empty() || ui.boxes.back().funcCode != 1 || ui.boxes.back().currentStatus != 2)
        return RoadOutcome{ExitFailed, QStringLiteral("upgrade did not finish: no end box from the plug-in")};
    const LCD::Structs::MessageBoxInfo last = ui.boxes.back();
    ui.returnBox(last);
    say("refresh",
        QStringLiteral("version asked %1 times since the start, the device reports %2")
            .arg(device.versionRequests - versionRequestsBefore)
            .arg(QString::fromStdString(device.script().firmwareVersion)));
    if (last.boxType == 1)
        return RoadOutcome{ExitUpgraded, QString()};
    const QString where = options.failAt >= 0 ? QStringLiteral(" at %1%").arg(options.failAt) : QString();
    return RoadOutcome{ExitFailed,
                       QStringLiteral("upgrade failed: the device side reported a failure%1 (box: %2)")
                           .arg(where, boxText(last))};
}

} // namespace Sim
