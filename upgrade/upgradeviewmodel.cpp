#include "upgradeviewmodel.h"

// The shared display constants are built with this source, before the
// registration record below (both at library load).
#include "constants/constants.h"

#include "host/api.h"
#include "host/ihostapi.h"
#include "host/imessage.h"
#include "host/imessagecenter.h"
#include "plugin/componenttmpl.h"
#include "protomodel/messageboxinfo.h"
#include "protomodel/nodefirmwareversion.h"
#include "protomodel/nodelist.h"
#include "protomodel/queryinfo.h"
#include "protomodel/upgradefileconfig.h"
#include "upgrade/packagecheck.h"
#include "upgrade/upgradeids.h"
#include "json/decode.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QRegExp>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

template <>
krt::ComponentInfo krt::ComponentTmpl<Upgrade::UpgradeViewModel>::componentInfo = {
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::creator,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::deletor,
    &krt::ComponentTmpl<Upgrade::UpgradeViewModel>::getMessageHandler,
    "talvo.lcd.viewmodel.upgrade",
    "{\"end\":0 }\r\n",
};

namespace Upgrade {

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

namespace Package {

uint32_t littleEndian32(const QByteArray& bytes)
{
    return bytes.size() < 4 ? 0 : qFromLittleEndian<quint32>(bytes.constData());
}

void decodeCheckJson(const QString& json, CheckPacket& packet)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (document.isNull())
        return;
    const QJsonObject object = document.object();
    const QJsonArray images = object.value(QLatin1String("systemImages")).toArray();
    for (const QJsonValue& image : images) {
        // Each entry also has a "type", which names nothing the check needs.
        const QJsonObject entry = image.toObject();
        // Sizes are written as decimal strings; a JSON number counts as 0.
        packet.systemImages.push_back(entry.value(QLatin1String("size")).toString().toUInt(nullptr, 10));
    }
    packet.md5 = object.value(QLatin1String("md5")).toString();
}

QByteArray readBounded(QIODevice& device, qint64 length)
{
    // QIODevice::read(qint64) sizes its result to the request before reading.
    const qint64 left = device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    const qint64 bounded = qMin(length, qMax<qint64>(left, 0));
    if (bounded <= 0)
        return QByteArray();
    return device.read(bounded);
}

void pauseAfterChunk()
{
    timespec request{0, 10 * 1000 * 1000};
    timespec left{};
    while (nanosleep(&request, &left) == -1 && errno == EINTR)
        request = left;
}

QByteArray untilNul(const QByteArray& bytes)
{
    return QByteArray(bytes.constData(), static_cast<int>(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

} // namespace Package

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

LCD::ProtoModel::Device::s_UpgradeInfo UpgradeViewModel::getUpgradeInfo(QString path)
{
    LCD::ProtoModel::Device::s_UpgradeInfo info;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
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
    // The reader stops at a NUL byte, which therefore ends the header text.
    const std::string header = Package::readBounded(file, headerLength).toStdString();
    std::string error;
    if (!LCD::ProtoModel::decode<LCD::ProtoModel::Device::s_UpgradeInfo>(header, info, error)) {
        qWarning() << "upgrade file is invalid, head json decode failed." << error.c_str();
        return info;
    }
    // The device-type rule tests the file's magic through `name`, whatever
    // the header's own "name" said.
    info.name = magic.toStdString();
    return info;
}

// ---- Package verification ---------------------------------------------------

namespace {

// Log sink of one walk: lines carry the context given in the options, or are
// dropped when the walk is silent.
class WalkLog
{
public:
    explicit WalkLog(const Package::VerifyOptions& options)
        : logger(options.logFile, options.logLine, options.logFunction)
        , enabled(options.logFunction != nullptr)
    {
    }

    bool on() const { return enabled; }
    QDebug debug() const { return logger.debug(); }
    QDebug warning() const { return logger.warning(); }

private:
    QMessageLogger logger;
    bool enabled;
};

// Keeps a long verification from filling the device's memory with cached
// pages of a file that is read once.
void dropPageCache(const WalkLog& log)
{
    const int status = std::system("echo 3 > /proc/sys/vm/drop_caches");
    if (!log.on())
        return;
    if (status == 0)
        log.warning() << "Sync command executed successfully\n";
    else
        log.warning() << "Error executing sync command\n";
}

// The kernel's own read-ahead window, in bytes, for the device that holds
// the open file; -1 where sysfs does not tell.
qint64 kernelReadAheadWindow(int fd)
{
    struct stat st{};
    if (fstat(fd, &st) != 0)
        return -1;
    const QString device = QStringLiteral("%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    // A whole disk, a partition (the queue is its disk's), or a file system
    // without a block device (FUSE, NFS) that still has a read-ahead window.
    for (const QString& path : {QStringLiteral("/sys/dev/block/%1/queue/read_ahead_kb"),
                                QStringLiteral("/sys/dev/block/%1/../queue/read_ahead_kb"),
                                QStringLiteral("/sys/class/bdi/%1/read_ahead_kb")}) {
        QFile file(path.arg(device));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 kib = file.readAll().trimmed().toLongLong(&ok);
        if (ok)
            return kib * 1024;
    }
    return -1;
}

// Asks the kernel to fetch a byte range into the page cache in the
// background, so the card reads the next chunk while this one is hashed and
// the walk pauses; no thread of ours is involved.
class ReadAhead
{
public:
    ReadAhead(QFile& file, Package::VerifyOptions::ReadAhead mode, qint64 chunkSize)
        : fd(mode == Package::VerifyOptions::ReadAhead::Off ? -1 : file.handle())
    {
        // Where the kernel reads a chunk ahead by itself, 40 hints a chunk
        // would only cost time.
        if (fd >= 0 && mode == Package::VerifyOptions::ReadAhead::WhereUseful
            && kernelReadAheadWindow(fd) >= chunkSize)
            fd = -1;
    }

    // Queues the first piece of the chunk after the one about to be read,
    // behind that chunk's own pieces: when the read returns, storage is
    // already on the next chunk instead of idling until its hint arrives.
    // The kernel's own read-ahead runs this far past a read too.
    void bridge(qint64 offset, qint64 nextLength) { request(offset, qMin(Piece, nextLength)); }

    // Hints the part of the range not hinted yet: a chunk's hint leaves out
    // the piece its bridge already asked for.
    void request(qint64 offset, qint64 length)
    {
        const qint64 end = offset + length;
        // The kernel cuts one hint to the device's read-ahead window, so a
        // whole chunk in one hint would fetch only its first few hundred KiB.
        for (qint64 at = qMax(offset, hintedEnd); fd >= 0 && at < end; at += Piece) {
            // A descriptor that takes no hints (a pipe, say) simply goes without.
            if (posix_fadvise(fd, at, qMin(Piece, end - at), POSIX_FADV_WILLNEED) != 0)
                fd = -1;
        }
        hintedEnd = qMax(hintedEnd, end);
    }

private:
    // No larger than the smallest read-ahead window of the cards we meet.
    static constexpr qint64 Piece = 128 * 1024;

    int fd; // -1: no hints
    qint64 hintedEnd = 0; // the walk reads forward, so one end marks all that was hinted
};

// What one verification carries from image to image: the file, the one
// buffer, the read-ahead with its device looked up once, and the log.
struct Walk
{
    Walk(QFile& packageFile, const Package::VerifyOptions& walkOptions, const WalkLog& walkLog)
        : file(packageFile)
        , options(walkOptions)
        , log(walkLog)
        , buffer(qBound(1, walkOptions.chunkSize, Package::ChunkSize), '\0')
        , readAhead(packageFile, walkOptions.readAhead, buffer.size())
    {
    }

    QFile& file;
    const Package::VerifyOptions& options;
    const WalkLog& log;
    QByteArray buffer;
    ReadAhead readAhead;
};

struct ImageDigest
{
    QString computed;
    qint64 remaining;
    int chunks;
};

// Streams `length` bytes of image data through the walk's buffer into an
// MD5 digest. A short file ends the loop early; the digest then fails the
// comparison.
ImageDigest hashImageData(Walk& walk, uint32_t length)
{
    QFile& file = walk.file;
    QByteArray& buffer = walk.buffer;
    const Package::VerifyOptions& options = walk.options;
    const WalkLog& log = walk.log;
    QCryptographicHash md5(QCryptographicHash::Md5);
    qint64 remaining = length;
    const qint64 chunkSize = buffer.size();
    qint32 chunkLength = static_cast<qint32>(qMin<qint64>(remaining, chunkSize));
    int chunks = 0;
    int sinceDrop = 0;
    while (chunkLength > 0) {
        const bool dropFollows = sinceDrop > 9;
        // Only a chunk that was itself hinted has storage busy to bridge
        // from, and a drop after this read would evict the bridge piece.
        if (chunks > 0 && !dropFollows)
            walk.readAhead.bridge(file.pos() + chunkLength, remaining - chunkLength);
        const qint64 bytesRead = file.read(buffer.data(), chunkLength);
        if (bytesRead <= 0)
            break;
        remaining -= bytesRead;
        chunkLength = static_cast<qint32>(qMin<qint64>(remaining, chunkSize));
        // The chunk is in the buffer, so its drop can run before the chunk is
        // hashed rather than after: nothing of the next chunk is cached yet
        // for it to evict. No log line or read sits between the two, so the
        // order shows nowhere but in what storage has to read twice.
        if (dropFollows) {
            if (options.dropPageCache)
                dropPageCache(log);
            sinceDrop = 0;
        }
        // One chunk ahead, and the bridge piece beyond it, at most: the page
        // cache holds no more than that of the file beside the buffer.
        walk.readAhead.request(file.pos(), chunkLength);
        md5.addData(buffer.constData(), static_cast<int>(bytesRead));
        // The buffer was all zeros before the read, so clearing what the read
        // wrote leaves the whole buffer zero-filled.
        std::memset(buffer.data(), 0, static_cast<size_t>(bytesRead));
        if (log.on())
            log.warning() << "read file size:" << chunkLength << "packageLen is:" << remaining
                          << "bytesRead:" << bytesRead;
        if (options.pauseAfterChunk)
            Package::pauseAfterChunk();
        ++sinceDrop;
        ++chunks;
    }
    return {QString::fromLatin1(md5.result().toHex()), remaining, chunks};
}

// Reads the header and the check block that follow the magic and decodes the
// check block's image list.
CheckPacket readCheckBlock(QFile& file, const WalkLog& log)
{
    // The package header is the file-information query's business.
    const QByteArray headerLength = file.read(4);
    const QByteArray header = Package::readBounded(file, Package::littleEndian32(headerLength));
    const QByteArray checkLength = file.read(4);
    const QByteArray checkBlock = Package::readBounded(file, Package::littleEndian32(checkLength));
    const QByteArray decoded = QByteArray::fromBase64(checkBlock);
    const QString checkText = decoded.isNull() ? QString() : QString::fromUtf8(Package::untilNul(decoded));

    CheckPacket packet;
    Package::decodeCheckJson(checkText, packet);
    if (log.on())
        log.debug() << "upgradeCheck" << headerLength << header << checkLength << checkBlock << checkText;
    return packet;
}

// Checks the image record of `size` bytes at the file position: its magic and
// its data's digest against the one in force after its sub-header.
Package::VerifyResult::Outcome verifyImage(Walk& walk, uint32_t size, CheckPacket& packet,
                                           Package::VerifyResult& result)
{
    QFile& file = walk.file;
    const WalkLog& log = walk.log;
    if (file.read(4) != PackageMagic) {
        if (log.on())
            log.debug() << "head check fail";
        return Package::VerifyResult::BadImageMagic;
    }
    const uint32_t subHeaderLength = Package::littleEndian32(file.read(4));
    const QByteArray subHeader = Package::readBounded(file, subHeaderLength);
    // Wraps like the 32-bit size field when the sub-header claims more than
    // the record: the loop then reads to the end of the file.
    const uint32_t dataLength = size - 8u - subHeaderLength;
    const ImageDigest digest = hashImageData(walk, dataLength);
    result.chunks += digest.chunks;
    if (file.error() != QFileDevice::NoError && log.on())
        log.debug() << "Error reading file: " << file.errorString();

    // Sub-headers are ASCII; one that is not JSON keeps the digest in force
    // (the check block's for the first image, else the previous image's).
    Package::decodeCheckJson(QString::fromLatin1(Package::untilNul(subHeader)), packet);
    if (packet.md5 == digest.computed)
        return Package::VerifyResult::Verified;
    if (log.on())
        log.debug() << "md5 check fail" << packet.md5 << digest.computed << digest.remaining;
    result.expected = packet.md5;
    result.computed = digest.computed;
    result.remaining = digest.remaining;
    return Package::VerifyResult::DigestMismatch;
}

} // namespace

namespace Package {

VerifyResult verify(const QString& path, const VerifyOptions& options)
{
    const WalkLog log(options);
    VerifyResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    if (file.read(4) != PackageMagic) {
        if (log.on())
            log.debug() << "head check fail";
        result.outcome = VerifyResult::BadMagic;
        return result;
    }
    CheckPacket packet = readCheckBlock(file, log);
    // Sub-headers decode into the same packet and may append sizes of their
    // own; only the images the check block lists are walked.
    const std::vector<uint32_t> imageSizes = packet.systemImages;
    result.imageCount = static_cast<int>(imageSizes.size());
    result.outcome = VerifyResult::Verified;
    if (imageSizes.empty())
        return result;

    // The buffer is reserved here, once for all images.
    Walk walk(file, options, log);
    for (size_t i = 0; i < imageSizes.size() && result.ok(); ++i) {
        result.image = static_cast<int>(i);
        result.outcome = verifyImage(walk, imageSizes[i], packet, result);
    }
    if (result.ok())
        result.image = -1;
    return result;
}

} // namespace Package

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

} // namespace

QString UpgradeViewModel::calmd5(QList<QByteArray> parts) const
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (const QByteArray& part : parts)
        md5.addData(part);
    return QString::fromLatin1(md5.result().toHex());
}

bool UpgradeViewModel::upgradeCheck(const QString& path)
{
    Package::VerifyOptions options;
    options.logFile = __FILE__;
    options.logLine = __LINE__;
    options.logFunction = Q_FUNC_INFO;
    return Package::verify(path, options).ok();
}

krt::IMessage* UpgradeViewModel::getUpgradeMD5(const krt::IMessage* msg)
{
    if (!msg || !msg->data()) {
        qWarning() << "resp does not matches.";
        return nullptr;
    }
    const QByteArray path = pathFromPayload(*msg);
    qDebug() << "filePath :" << QString::fromUtf8(path);
    char verified = upgradeCheck(QString::fromUtf8(path)) ? 1 : 0;
    postEvent(MsgVerifyResult, 1, &verified);
    return nullptr;
}

// ---- Helpers of the upgrade flow ---------------------------------------------

namespace {

using LCD::ProtoModel::Device::s_NodeFirmwareVersion;
using LCD::ProtoModel::Device::s_NodeList;
using LCD::ProtoModel::Device::s_UpgradeFileConfig;
using LCD::ProtoModel::Device::s_UpgradeInfo;
using LCD::ProtoModel::Device::s_UpgradeProgress;
using LCD::ProtoModel::Device::s_UpgradeProgressPart;

// Progress report states.
constexpr int32_t ProgressHidden = 0;
constexpr int32_t ProgressUpdating = 1;
constexpr int32_t ProgressSucceeded = 2;
constexpr int32_t ProgressFailed = 3;

// Message-box record values.
constexpr int32_t FuncCodeUpgrade = 1;
constexpr int32_t FuncCodeHide = -1;
constexpr int32_t BoxSuccess = 1;
constexpr int32_t BoxFailure = 4;
constexpr int32_t BoxProgress = 5;
constexpr int32_t StatusRunning = 1;
constexpr int32_t StatusFinished = 2;
constexpr int32_t TipTimeMs = 2000;

// Versions compare as the number their digits spell: 1.2.10 is 1210. Too
// many digits for an int, or none, give 0.
int versionNumber(const std::string& version)
{
    return QString::fromUtf8(version.data(), int(version.size())).remove(QRegExp("[^\\d]")).toInt();
}

bool isSupportedDevice(const s_UpgradeInfo& info)
{
    return info.name == PackageMagic && info.modelID == SupportedModelId;
}

bool queryNode(LCD::Message::MessageHandler& handler, LCD::GlobalMessageHander::QueryInfo<s_NodeList>& query)
{
    // The device side fills the wrapper in place, or clears the slot when it
    // has no node to offer.
    void* slot = &query;
    handler.sendCommand(MsgQueryNodeList, sizeof slot, &slot, 0, nullptr);
    return slot != nullptr;
}

// The 40-byte progress payload is the memory image of the sender's report;
// its part list still lives in the sender's memory while the handler runs.
struct ProgressImage
{
    int32_t nodeId;
    int32_t status;
    int32_t progress;
    int32_t padding;
    const s_UpgradeProgressPart* first;
    const s_UpgradeProgressPart* last;
    const s_UpgradeProgressPart* storageEnd;
};
static_assert(sizeof(ProgressImage) == sizeof(s_UpgradeProgress), "progress image is the report's size");

s_UpgradeProgress progressFromImage(const void* payload)
{
    ProgressImage image;
    std::memcpy(&image, payload, sizeof image);
    s_UpgradeProgress report;
    report.nodeId = image.nodeId;
    report.status = image.status;
    report.progress = image.progress;
    if (image.first && image.last > image.first)
        report.parts.assign(image.first, image.last);
    return report;
}

// The largest part still below 100; finished parts say nothing about the
// current step. Without parts the overall rate, six times faster, stands in.
int32_t subRateOf(const s_UpgradeProgress& report)
{
    if (report.parts.empty()) {
        // Six times in 32-bit arithmetic as the device does, wrapping instead
        // of overflowing.
        const auto scaled = static_cast<int32_t>(static_cast<uint32_t>(report.progress) * 6u);
        return std::min(scaled, 100);
    }
    int32_t rate = 0;
    for (const s_UpgradeProgressPart& part : report.parts) {
        if (part.progress <= 99 && part.progress > rate)
            rate = part.progress;
    }
    return rate;
}

LCD::Structs::MessageBoxInfo baseBox(int32_t funcCode, int32_t currentStatus)
{
    LCD::Structs::MessageBoxInfo box;
    box.funcCode = funcCode;
    box.totalRate = -1;
    box.bAccept = false;
    box.visiable = true;
    box.canRevoke = false;
    box.tipTime = TipTimeMs;
    box.isLocal = false;
    box.currentStatus = currentStatus;
    box.deviceStatus = 1;
    return box;
}

// Copies a translated text with its terminating zero; a translation too long
// for the field is cut before the first UTF-8 sequence that does not fit.
void setText(char (&field)[256], const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    int length = std::min(utf8.size(), int(sizeof field) - 1);
    if (length < utf8.size()) {
        while (length > 0 && (uchar(utf8[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, utf8.constData(), size_t(length));
    std::memset(field + length, 0, sizeof field - size_t(length));
}

} // namespace

// ---- Version policy and node-version refresh ---------------------------------

std::vector<int> UpgradeViewModel::stringToVector(const std::string& version) const
{
    int number = versionNumber(version);
    std::vector<int> digits;
    if (number <= 0)
        return digits;
    for (;;) {
        digits.insert(digits.begin(), number % 10);
        if (number < 10)
            break;
        number /= 10;
    }
    return digits;
}

bool UpgradeViewModel::isDownGrade(const std::string& version)
{
    const int current = versionNumber(nodeVersion);
    const int candidate = versionNumber(version);
    qInfo() << "current device version" << QString::fromStdString(nodeVersion) << "upgradeFile version"
            << QString::fromStdString(version);
    return current > candidate;
}

bool UpgradeViewModel::isUnallowedDownGrade(const std::string& version, const std::string& minVersion) const
{
    qInfo() << "support min device version" << QString::fromStdString(minVersion) << "upgradeFile version"
            << QString::fromStdString(version);
    const std::vector<int> minimum = stringToVector(minVersion);
    const std::vector<int> candidate = stringToVector(version);
    // Digit by digit: a larger digit does not settle it, a later smaller one
    // still makes the package too old.
    for (size_t i = 0; i < minimum.size(); ++i) {
        if (i >= candidate.size() || candidate[i] < minimum[i])
            return true;
    }
    return false;
}

bool UpgradeViewModel::isDeviceTypeMatched(const LCD::ProtoModel::Device::s_UpgradeInfo& info)
{
    return isSupportedDevice(info);
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
    announce.status = ProgressUpdating;
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

krt::IMessage* UpgradeViewModel::getUpgradeFileInfo(const krt::IMessage* msg)
{
    if (!msg || !msg->data()) {
        qWarning() << "resp does not matches.";
        return nullptr;
    }
    const QByteArray path = pathFromPayload(*msg);
    qDebug() << "filePath :" << QString::fromUtf8(path);

    const s_UpgradeInfo info = getUpgradeInfo(QString::fromUtf8(path));
    // Without a header the second byte carries no result; 0 keeps it tidy.
    uint8_t reply[2] = {0, 0};
    if (info.modelID != 0) {
        reply[0] = isSupportedDevice(info) ? 1 : 0;
        reply[1] = isDownGrade(info.dataVersion) ? 1 : 0;
    }

    // Looked up anew for every reply rather than through the base's pointer.
    krt::IHostApi* host = krt::api::get().host;
    auto* messageCenter =
        host ? static_cast<krt::IMessageCenter*>(host->lookup(krt::MessageCenterService)) : nullptr;
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
    if (box.funcCode == FuncCodeUpgrade)
        postEvent(MsgDeviceInfoChanged, 0, nullptr);
    return nullptr;
}

krt::IMessage* UpgradeViewModel::changeUpgradeProgress(const krt::IMessage* msg)
{
    if (!msg || msg->size() != int(sizeof(ProgressImage)) || !msg->data())
        return nullptr;
    dealUpgradeProgress(progressFromImage(msg->data()));
    return nullptr;
}

void UpgradeViewModel::dealUpgradeProgress(const LCD::ProtoModel::Device::s_UpgradeProgress& progress)
{
    LCD::Structs::MessageBoxInfo box = baseBox(FuncCodeUpgrade, -1);
    box.subRate = subRateOf(progress);
    switch (progress.status) {
    case ProgressHidden:
        hideProgress();
        return;
    case ProgressUpdating:
        setText(box.text, QObject::tr("Updating..."));
        box.boxType = BoxProgress;
        box.totalRate = progress.progress;
        box.currentStatus = StatusRunning;
        sendEvent(MsgMessageBox, sizeof box, &box);
        return;
    case ProgressSucceeded:
        setText(box.text, QObject::tr("Device updated successfully."));
        box.boxType = BoxSuccess;
        box.currentStatus = StatusFinished;
        break;
    case ProgressFailed:
        setText(box.text, QObject::tr("Device update failed."));
        box.boxType = BoxFailure;
        box.subRate = 0;
        box.currentStatus = StatusFinished;
        break;
    default:
        return;
    }
    sendEvent(MsgMessageBox, sizeof box, &box);
    // The end of an upgrade: the node refresh subscribed to this id reads the
    // new firmware version.
    sendEvent(MsgUpgradeFinished, 0, nullptr);
}

void UpgradeViewModel::hideProgress()
{
    LCD::Structs::MessageBoxInfo box = baseBox(FuncCodeHide, StatusFinished);
    box.subRate = 0;
    sendEvent(MsgMessageBox, sizeof box, &box);
}

} // namespace Upgrade
