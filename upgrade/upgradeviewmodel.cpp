#include "upgradeviewmodel.h"

// Load-time order: the shared display constants have internal linkage, so
// this source builds its own copy of the tables, and C++ builds one source's
// statics in the order they appear. Including the tables here, above the
// registration record below, is what fills the record after the tables when
// the library loads; no other source of the core defines either.
#include "constants/constants.h"

#include "host/api.h"
#include "host/componenttmpl.h"
#include "host/ihostapi.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "protomodel/messageboxinfo.h"
#include "protomodel/nodefirmwareversion.h"
#include "protomodel/nodelist.h"
#include "protomodel/queryinfo.h"
#include "protomodel/upgradefileconfig.h"
#include "upgrade/messageboxes.h"
#include "upgrade/packagecheck.h"
#include "upgrade/trustfolder.h"
#include "upgrade/trustpolicy.h"
#include "upgrade/upgradeids.h"
#include "upgrade/versionpolicy.h"
#include "json/decode.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

#include <cstring>
#include <string>

template <>
krt::ComponentInfo krt::ComponentTmpl<Upgrade::UpgradeViewModel>::componentInfo = {
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::creator,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::deletor,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::getMessageHandler,
    "talvo.lcd.viewmodel.upgrade",
    "{\"end\":0 }\r\n",
};

namespace Upgrade {

// ---- Helpers of the handlers ----------------------------------------------------

namespace {

// Longest path text a request carries; the sender's buffer is 128 bytes.
constexpr int MaxPathLength = 127;

// Copies the NUL-terminated path of a request. A faulty sender may omit the
// terminator, so the copy never looks past the payload itself.
QByteArray pathFromPayload(const krt::IMessage& message)
{
    const int limit = qBound(0, message.size(), MaxPathLength);
    return Package::untilNul(QByteArray::fromRawData(static_cast<const char*>(message.data()), limit));
}

using LCD::ProtoModel::Device::s_NodeFirmwareVersion;
using LCD::ProtoModel::Device::s_NodeList;
using LCD::ProtoModel::Device::s_UpgradeFileConfig;
using LCD::ProtoModel::Device::s_UpgradeInfo;
using LCD::ProtoModel::Device::s_UpgradeProgress;

// Where the build enforces signatures, every handler must open exactly the
// bytes that the start hands to the device side. A path that does not come
// back unchanged from its decoding (invalid UTF-8 turns into U+FFFD) could
// name one file to the check and another to the device.
bool enforcing()
{
    return !trustFolder().isEmpty();
}

bool decodesExactly(const QByteArray& path)
{
    const QString text = QString::fromUtf8(path);
    return text.toUtf8() == path && QFile::encodeName(text) == path;
}

// A user interface asks about a few packages at a time; the oldest answers
// beyond this many are forgotten.
constexpr int MaxAnsweredFiles = 64;

void rememberAnswer(QHash<QByteArray, Package::FileIdentity>& answers, const QByteArray& path,
                    const Package::FileIdentity& file)
{
    if (answers.size() >= MaxAnsweredFiles && !answers.contains(path))
        answers.erase(answers.begin());
    answers.insert(path, file);
}

// Decodes the header of `length` bytes at the file's position. One over the
// limit is never read: it answers as a header that does not decode.
bool decodeHeader(QFile& file, qint32 length, s_UpgradeInfo& info, std::string& error)
{
    if (length > Package::MaxFieldLength) {
        error = "header of " + std::to_string(length) + " bytes exceeds the limit of "
            + std::to_string(Package::MaxFieldLength);
        return false;
    }
    // The reader stops at a NUL byte, which therefore ends the header text.
    const std::string header = Package::readBounded(file, length).toStdString();
    return LCD::ProtoModel::decode<s_UpgradeInfo>(header, info, error);
}

bool queryNode(LCD::Message::MessageHandler& handler, LCD::GlobalMessageHander::QueryInfo<s_NodeList>& query)
{
    // The device side fills the wrapper in place, or clears the slot when it
    // has no node to offer.
    void* slot = &query;
    handler.sendCommand(MsgQueryNodeList, sizeof slot, &slot, 0, nullptr);
    return slot != nullptr;
}

} // namespace

UpgradeViewModel::UpgradeViewModel()
{
    name = "upgradeviewmodel";
}

UpgradeViewModel::~UpgradeViewModel() = default;

void UpgradeViewModel::onInit()
{
    // Small lambdas capturing only `this` fit std::function's inline buffer,
    // so dispatch never allocates.
    registerEvent(MsgSetUpgradeFile, [this](const krt::IMessage* m) { return setUpgradeFile(m); });
    registerEvent(MsgUpgradeFinished, [this](const krt::IMessage* m) { return initNodeVersion(m); });
    registerEvent(MsgDeviceInfoChanged, [this](const krt::IMessage* m) { return initNodeVersion(m); });
    registerCommand(MsgGetUpgradeFileInfo, [this](const krt::IMessage* m) { return getUpgradeFileInfo(m); });
    registerEvent(MsgMessageBoxReturned, [this](const krt::IMessage* m) { return getDeviceInfo(m); });
    registerEvent(MsgGetUpgradeMD5, [this](const krt::IMessage* m) { return getUpgradeMD5(m); });
    registerEvent(MsgUpgradeProgress, [this](const krt::IMessage* m) { return changeUpgradeProgress(m); });
}

// ---- Package format and header reading --------------------------------------

uint32_t UpgradeViewModel::getSmallEndSize(const QByteArray& bytes)
{
    return Package::littleEndian32(bytes);
}

bool UpgradeViewModel::checkVesk(const QByteArray& bytes)
{
    // A mismatch test: true unless the bytes are exactly "Vesk".
    return qstrcmp(bytes, PackageMagic) != 0;
}

void UpgradeViewModel::decodeJson(const QString& json, CheckPacket& packet)
{
    Package::decodeCheckJson(json, packet);
}

// Answers a failure, here the default record, rather than let an exception
// (out of memory, say) leave the request.
LCD::ProtoModel::Device::s_UpgradeInfo UpgradeViewModel::getUpgradeInfo(QString path)
try {
    LCD::ProtoModel::Device::s_UpgradeInfo info;
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    // The flags answered belong to this file: only it may start later.
    if (enforcing())
        rememberAnswer(answeredFiles, QFile::encodeName(path),
                       Package::FileIdentity::ofDescriptor(opened ? file.handle() : -1));
    if (!opened) {
        qWarning() << "open upgrade file fail.";
        return info;
    }
    const QByteArray magic = file.read(4);
    const QByteArray lengthField = file.read(4);
    // The header length is read signed: 2^31 and above is rejected as negative.
    const qint32 headerLength = static_cast<qint32>(getSmallEndSize(lengthField));
    if (headerLength < 0) {
        qWarning() << "Proj file is invalid, header data len is empty, read header data len is "
                   << headerLength;
        return info;
    }
    std::string error;
    if (!decodeHeader(file, headerLength, info, error)) {
        qWarning() << "upgrade file is invalid, head json decode failed." << error.c_str();
        return info;
    }
    // The device-type rule tests the file's magic through `name`, whatever
    // the header's own "name" said.
    info.name = magic.toStdString();
    return info;
} catch (...) {
    qWarning() << "file information failed:" << LCD::Message::currentExceptionText();
    return {};
}

// ---- Package verification ---------------------------------------------------

QString UpgradeViewModel::calmd5(QList<QByteArray> parts) const
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (const QByteArray& part : parts)
        md5.addData(part);
    return QString::fromLatin1(md5.result().toHex());
}

// Answers a failure, not verified, rather than let an exception leave the
// request.
bool UpgradeViewModel::upgradeCheck(const QString& path)
try {
    const QMessageLogger log(__FILE__, __LINE__, Q_FUNC_INFO);
    // Read for every request, so keys added or removed count from the next one.
    const Package::TrustPolicy trust = Package::TrustPolicy::fromFolder(trustFolder());
    for (const Package::TrustPolicy::SkippedKey& key : trust.skipped())
        log.warning() << "trusted key skipped:" << key.path << key.why;
    verifiedPackage = {};
    // A build that enforces signatures never falls back to the digests alone.
    if (trust.mode() == Package::TrustPolicy::Refusing) {
        log.warning().noquote() << "signature check fail:" << trust.refusal();
        return false;
    }
    Package::VerifyOptions options;
    options.logFile = __FILE__;
    options.logLine = __LINE__;
    options.logFunction = Q_FUNC_INFO;
    options.trust = trust;
    const Package::VerifyResult result = Package::verify(path, options);
    if (result.ok() && trust.mode() == Package::TrustPolicy::Enforcing)
        verifiedPackage = {QFile::encodeName(path), result.identity};
    return result.ok();
} catch (...) {
    qWarning() << "verification failed:" << LCD::Message::currentExceptionText();
    return false;
}

krt::IMessage* UpgradeViewModel::getUpgradeMD5(const krt::IMessage* msg)
{
    if (!msg || !msg->data()) {
        qWarning() << "resp does not matches.";
        return nullptr;
    }
    const QByteArray path = pathFromPayload(*msg);
    qDebug() << "filePath :" << QString::fromUtf8(path);
    char verified = 0;
    if (enforcing() && !decodesExactly(path))
        qWarning() << "path is not valid UTF-8:" << path;
    else
        verified = upgradeCheck(QString::fromUtf8(path)) ? 1 : 0;
    postEvent(MsgVerifyResult, 1, &verified);
    return nullptr;
}

// ---- Version policy and node-version refresh ---------------------------------

std::vector<int> UpgradeViewModel::stringToVector(const std::string& version) const
{
    return Version::digitsOf(version);
}

bool UpgradeViewModel::isDownGrade(const std::string& version)
{
    const int current = Version::versionNumber(nodeVersion);
    const int candidate = Version::versionNumber(version);
    qInfo() << "current device version" << QString::fromStdString(nodeVersion) << "upgradeFile version"
            << QString::fromStdString(version);
    return current > candidate;
}

bool UpgradeViewModel::isUnallowedDownGrade(const std::string& version, const std::string& minVersion) const
{
    qInfo() << "support min device version" << QString::fromStdString(minVersion) << "upgradeFile version"
            << QString::fromStdString(version);
    return Version::isBelowMinimum(stringToVector(version), stringToVector(minVersion));
}

bool UpgradeViewModel::isDeviceTypeMatched(const LCD::ProtoModel::Device::s_UpgradeInfo& info)
{
    return Version::isSupportedDevice(info);
}

krt::IMessage* UpgradeViewModel::initNodeVersion(const krt::IMessage* msg)
{
    Q_UNUSED(msg);
    LCD::GlobalMessageHander::QueryInfo<s_NodeList> query;
    if (!queryNode(*this, query))
        return nullptr;

    LCD::GlobalMessageHander::RequestInfo<s_NodeFirmwareVersion, QString> request;
    request.request = QString::number(query.result.nodeId);
    void* slot = &request;
    sendCommand(MsgQueryFirmwareVersion, sizeof slot, &slot, 0, nullptr);
    // An unanswered request leaves the default empty text, which is stored
    // all the same: the device's version is then unknown.
    nodeVersion = request.response.firmwareVersion;
    return nullptr;
}

// ---- Upgrade start and file-information query --------------------------------

krt::IMessage* UpgradeViewModel::setUpgradeFile(const krt::IMessage* msg)
{
    if (!msg || !msg->data()) {
        qWarning() << "resp does not matches.";
        return nullptr;
    }
    const QByteArray path = pathFromPayload(*msg);
    qDebug() << "filePath :" << QString::fromUtf8(path);
    if (const char* refusal = startRefusal(path)) {
        qWarning() << "start refused:" << path << refusal;
        uint8_t started = 0;
        postEvent(MsgStartResult, sizeof started, &started);
        return nullptr;
    }

    LCD::GlobalMessageHander::QueryInfo<s_NodeList> query;
    if (!queryNode(*this, query))
        return nullptr;
    const s_NodeList node = query.result;

    s_UpgradeFileConfig entry;
    entry.nodeId = node.nodeId;
    entry.filePath = path.toStdString();
    std::vector<s_UpgradeFileConfig> files{entry};

    // The box goes up before the start command, so the user sees the upgrade
    // begin even when the device side takes long to answer.
    s_UpgradeProgress announce;
    announce.nodeId = node.nodeId;
    announce.status = Boxes::ProgressUpdating;
    announce.progress = 0;
    dealUpgradeProgress(announce);

    // The device side reads the list object in place: its 24-byte image is
    // the payload.
    uint8_t started = 0;
    sendCommand(MsgStartUpgrade, sizeof files, &files, sizeof started, &started);
    postEvent(MsgStartResult, sizeof started, &started);
    if (started == 0)
        hideProgress();
    return nullptr;
}

const char* UpgradeViewModel::startRefusal(const QByteArray& path) const
{
    // Without a trust folder the start checks nothing of the package itself.
    if (!enforcing())
        return nullptr;
    if (!decodesExactly(path))
        return "is not valid UTF-8";
    if (path != verifiedPackage.path)
        return "was not verified with a valid signature";
    // The device side reads whatever the path names from here on; what the
    // plug-in can still see is that it names the file that was checked.
    const Package::FileIdentity now = Package::FileIdentity::ofPath(path);
    if (!now.isValid())
        return "can no longer be read";
    if (now != verifiedPackage.file)
        return "changed since it was verified";
    const auto answered = answeredFiles.constFind(path);
    if (answered != answeredFiles.cend() && *answered != now)
        return "is not the file whose information was shown";
    return nullptr;
}

krt::IMessage* UpgradeViewModel::getUpgradeFileInfo(const krt::IMessage* msg)
{
    if (!msg || !msg->data()) {
        qWarning() << "resp does not matches.";
        return nullptr;
    }
    const QByteArray path = pathFromPayload(*msg);
    qDebug() << "filePath :" << QString::fromUtf8(path);

    s_UpgradeInfo info;
    if (enforcing() && !decodesExactly(path))
        qWarning() << "path is not valid UTF-8:" << path;
    else
        info = getUpgradeInfo(QString::fromUtf8(path));
    // Without a header the second byte carries no result; 0 keeps it tidy.
    uint8_t reply[2] = {0, 0};
    if (info.modelID != 0) {
        reply[0] = Version::isSupportedDevice(info) ? 1 : 0;
        reply[1] = isDownGrade(info.dataVersion) ? 1 : 0;
    }

    // Looked up anew for every reply rather than through the base's pointer.
    krt::IHostApi* host = krt::api::get().host;
    auto* messageCenter
        = host ? static_cast<krt::IMessageCenter*>(host->lookup(krt::MessageCenterService)) : nullptr;
    Q_ASSERT(messageCenter);
    if (!messageCenter)
        return nullptr;
    return messageCenter->createMessage(msg->id(), name.c_str(), sizeof reply, reply, 0);
}

// ---- Progress and message boxes ----------------------------------------------

krt::IMessage* UpgradeViewModel::getDeviceInfo(const krt::IMessage* msg)
{
    LCD::Structs::MessageBoxInfo box;
    if (!msg || !msg->data() || msg->size() != int(sizeof box)) {
        qWarning() << "upgrade is success update device info error";
        return nullptr;
    }
    std::memcpy(&box, msg->data(), sizeof box);
    qWarning() << box;
    if (box.funcCode == Boxes::FuncCodeUpgrade)
        postEvent(MsgDeviceInfoChanged, 0, nullptr);
    return nullptr;
}

krt::IMessage* UpgradeViewModel::changeUpgradeProgress(const krt::IMessage* msg)
{
    if (!msg || msg->size() != Boxes::ProgressImageSize || !msg->data())
        return nullptr;
    dealUpgradeProgress(Boxes::progressFromImage(msg->data()));
    return nullptr;
}

void UpgradeViewModel::dealUpgradeProgress(const LCD::ProtoModel::Device::s_UpgradeProgress& progress)
{
    LCD::Structs::MessageBoxInfo box;
    switch (Boxes::boxForProgress(progress, box)) {
    case Boxes::Step::Ignore:
        return;
    case Boxes::Step::Hide:
        hideProgress();
        return;
    case Boxes::Step::Show:
        sendEvent(MsgMessageBox, sizeof box, &box);
        return;
    case Boxes::Step::Finish:
        sendEvent(MsgMessageBox, sizeof box, &box);
        // The end of an upgrade: the node refresh subscribed to this id reads
        // the new firmware version.
        sendEvent(MsgUpgradeFinished, 0, nullptr);
        return;
    }
}

void UpgradeViewModel::hideProgress()
{
    LCD::Structs::MessageBoxInfo box = Boxes::hiddenBox();
    sendEvent(MsgMessageBox, sizeof box, &box);
}

} // namespace Upgrade
