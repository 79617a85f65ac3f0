#include "upgrade/packagecheck.h"

#include "upgrade/layoutreader.h"
#include "upgrade/signaturecheck.h"
#include "upgrade/storagepacing.h"
#include "upgrade/walklog.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>

#include <cstring>

namespace Upgrade {
namespace Package {

namespace {

// What one verification carries from the check block to the last image: the
// file and its layout reader, the one buffer, the read-ahead with its device
// looked up once, the log and the signature's digest with its sink.
struct Walk
{
    Walk(QFile& packageFile, LayoutReader& layout, const VerifyOptions& walkOptions, const WalkLog& walkLog,
         SignatureCheck& check, ReadAhead& hints)
        : file(packageFile)
        , reader(layout)
        , options(walkOptions)
        , log(walkLog)
        , signature(check)
        , buffer(qBound(1, walkOptions.chunkSize, ChunkSize), '\0')
        , readAhead(hints)
        , hash(check.sink())
    {
        reader.streamFields(hash, buffer);
    }

    QFile& file;
    LayoutReader& reader;
    const VerifyOptions& options;
    const WalkLog& log;
    SignatureCheck& signature;
    QByteArray buffer;
    ReadAhead& readAhead;
    const ByteSink hash;
};

// Records the file's read error, if it reported one, in the result.
bool noteReadError(const QFile& file, VerifyResult& result)
{
    if (file.error() == QFileDevice::NoError)
        return false;
    if (result.readErrorAt < 0) {
        result.readErrorAt = file.pos();
        result.readError = file.errorString();
    }
    return true;
}

// A read error before any image data: the walk cannot know the image list,
// so it must not verify on an empty one.
bool failedBeforeImages(const QString& error, qint64 at, const WalkLog& log, VerifyResult& result)
{
    if (at < 0)
        return false;
    result.readErrorAt = at;
    result.readError = error;
    log.debug() << "Error reading file: " << error;
    result.outcome = VerifyResult::ReadError;
    return true;
}

struct ImageDigest
{
    QString computed;
    qint64 remaining;
    int chunks;
    int drops;
};

// Streams `length` bytes of image data through the walk's buffer into an
// MD5 digest, the storage paced around each chunk. A short file ends the
// loop early; the digest then fails the comparison.
ImageDigest hashImageData(Walk& walk, uint32_t length)
{
    QFile& file = walk.file;
    QByteArray& buffer = walk.buffer;
    StoragePacing pacing(file, walk.options, walk.readAhead, walk.log);
    QCryptographicHash md5(QCryptographicHash::Md5);
    qint64 remaining = length;
    const qint64 chunkSize = buffer.size();
    qint32 chunkLength = static_cast<qint32>(qMin<qint64>(remaining, chunkSize));
    int chunks = 0;
    while (chunkLength > 0) {
        pacing.beforeRead(chunkLength, remaining);
        const qint64 bytesRead = file.read(buffer.data(), chunkLength);
        if (bytesRead <= 0)
            break;
        remaining -= bytesRead;
        chunkLength = static_cast<qint32>(qMin<qint64>(remaining, chunkSize));
        pacing.afterRead(chunkLength);
        md5.addData(buffer.constData(), static_cast<int>(bytesRead));
        walk.signature.add(buffer.constData(), bytesRead);
        // The buffer was all zeros before the read, so clearing what the read
        // wrote leaves the whole buffer zero-filled.
        std::memset(buffer.data(), 0, static_cast<size_t>(bytesRead));
        walk.log.warning() << "read file size:" << chunkLength << "packageLen is:" << remaining
                           << "bytesRead:" << bytesRead;
        pacing.afterChunk();
        ++chunks;
    }
    return {QString::fromLatin1(md5.result().toHex()), remaining, chunks, pacing.drops()};
}

// Checks the image record of `size` bytes at the file position: its magic and
// its data's digest against the one in force after its sub-header.
VerifyResult::Outcome verifyImage(Walk& walk, uint32_t size, CheckPacket& packet, VerifyResult& result)
{
    QFile& file = walk.file;
    const WalkLog& log = walk.log;
    ImageRecord record = walk.reader.readRecordMagic(size);
    if (!isMagic(record.magic)) {
        noteReadError(file, result);
        log.debug() << "head check fail";
        return VerifyResult::BadImageMagic;
    }
    walk.signature.addMagic();
    walk.reader.readSubHeader(record);
    const ImageDigest digest = hashImageData(walk, record.dataLength());
    result.chunks += digest.chunks;
    result.drops += digest.drops;
    if (noteReadError(file, result))
        log.debug() << "Error reading file: " << file.errorString();

    // A sub-header that is not JSON keeps the digest in force (the check
    // block's for the first image, else the previous image's), and so does
    // one too long to hold.
    decodeCheckJson(record.text, packet);
    if (packet.md5 == digest.computed)
        return VerifyResult::Verified;
    log.debug() << "md5 check fail" << packet.md5 << digest.computed << digest.remaining;
    result.expected = packet.md5;
    result.computed = digest.computed;
    result.remaining = digest.remaining;
    return VerifyResult::DigestMismatch;
}

// Where the policy reads the record, a package whose digests hold is judged
// by the signature record after its last image, from a file that did not
// change under the walk.
VerifyResult withSignature(VerifyResult result, QFile& file, LayoutReader& reader, SignatureCheck& signature,
                           const WalkLog& log)
{
    if (result.outcome != VerifyResult::Verified || !signature.active())
        return result;
    result.signature = signature.finish(reader.readTail());
    noteReadError(file, result);
    // Bytes read from a file that changed under the walk belong to no one
    // version of it, and a start could not tell which one was checked.
    if (FileIdentity::ofDescriptor(file.handle()) != result.identity) {
        result.outcome = VerifyResult::FileChanged;
        log.warning() << "signature check fail: the file changed while it was verified";
        return result;
    }
    // The valid case is logged too, so a reader of the log (the simulator)
    // can tell a checked signature from a record nobody judged.
    if (result.signature.status == SignatureVerdict::Valid)
        log.debug() << "signature valid, key id" << result.signature.keyId;
    else if (!result.signature.accepts())
        log.warning() << "signature check fail:" << result.signature;
    return result;
}

} // namespace

VerifyResult verify(const QString& path, const VerifyOptions& options)
{
    const WalkLog log(options.logFile, options.logLine, options.logFunction);
    VerifyResult result;
    // Where the policy reads the record, a walk that stops early never reaches it.
    if (options.trust.readsRecord())
        result.signature.status = SignatureVerdict::NotReached;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.identity = FileIdentity::ofDescriptor(file.handle());
    // Decided before the first read: where hints take over, the kernel's own
    // read-ahead must not start on the header, or it runs on from there past
    // the hints into pages the drops evict.
    ReadAhead readAhead(file, options.readAhead);
    LayoutReader reader(file);
    const QByteArray magic = reader.readMagic();
    if (failedBeforeImages(reader.readError(), reader.readErrorAt(), log, result))
        return result;
    if (!isMagic(magic)) {
        log.debug() << "head check fail";
        result.outcome = VerifyResult::BadMagic;
        return result;
    }
    SignatureCheck signature(options.trust);
    signature.addMagic();
    // The buffer is reserved here, once for the whole package: a field too
    // long to hold streams through it into the signature's digest.
    Walk walk(file, reader, options, log, signature, readAhead);
    const CheckBlock block = reader.readHead();
    if (failedBeforeImages(reader.readError(), reader.readErrorAt(), log, result))
        return result;
    log.debug() << "upgradeCheck" << block.headerLength << block.header << block.checkLength << block.raw
                << block.text;
    // Sub-headers decode into the same packet and may append sizes of their
    // own; only the images the check block lists are walked.
    CheckPacket packet = block.packet;
    const std::vector<uint32_t> imageSizes = packet.systemImages;
    result.imageCount = static_cast<int>(imageSizes.size());
    result.outcome = VerifyResult::Verified;
    if (imageSizes.empty())
        return withSignature(result, file, reader, signature, log);

    for (size_t i = 0; i < imageSizes.size() && result.outcome == VerifyResult::Verified; ++i) {
        result.image = static_cast<int>(i);
        result.outcome = verifyImage(walk, imageSizes[i], packet, result);
    }
    if (result.outcome == VerifyResult::Verified)
        result.image = -1;
    return withSignature(result, file, reader, signature, log);
}

} // namespace Package
} // namespace Upgrade
