#pragma once

#include "upgrade/fileidentity.h"
#include "upgrade/packageformat.h"
#include "upgrade/readahead.h"
#include "upgrade/signaturecheck.h"
#include "upgrade/trustpolicy.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// Verifying upgrade packages. The view model's upgradeCheck and the
// workstation tool upgrade-pack walk packages with the same code; the walk's
// log lines carry the context its caller gives in VerifyOptions.
namespace Upgrade {
namespace Package {

// Image data streams through one buffer of this size.
constexpr int ChunkSize = 0x500000;

struct VerifyOptions
{
    bool pauseAfterChunk = true; // 10 ms after every chunk (device)
    bool dropPageCache = true; // after the 11th chunk of an image, then every 10th (device)
    // Kernel read-ahead hints for the next chunk, so that storage reads it
    // while this one is hashed and the walk pauses. Reads, log lines and
    // pauses stay the same; only their overlap with the storage changes.
    // Off is the plain loop the storage bench compares against.
    using ReadAhead = Package::ReadAhead::Mode;
    ReadAhead readAhead = ReadAhead::On;
    // The device streams 5 MiB chunks; the fuzzer uses tiny ones so that small
    // inputs reach the chunk cadence.
    int chunkSize = ChunkSize;
    // Context of the walk's log lines; a null function keeps the walk silent.
    const char* logFile = nullptr;
    int logLine = 0;
    const char* logFunction = nullptr;
    // What the package's signature must be; the default reads no record, as
    // on a device that enforces no signatures.
    TrustPolicy trust;
};

struct VerifyResult
{
    // FileChanged: with keys, the file's identity at the end of the walk
    // differs from the one it had when opened.
    enum Outcome { Verified, OpenFailed, BadMagic, BadImageMagic, DigestMismatch, ReadError, FileChanged };

    Outcome outcome = OpenFailed;
    int imageCount = 0; // images listed in the check block
    int image = -1; // zero-based index of the failing image
    QString expected; // digest in force for that image
    QString computed; // digest of the data read
    qint64 remaining = 0; // data bytes the file did not supply
    int chunks = 0; // chunks read over all images
    int drops = 0; // page-cache drops the walk ran
    // The first read error the file reported: where it stopped, and why. A
    // ReadError outcome comes from one before any image; in an image record
    // the outcome stays what the walk decided.
    qint64 readErrorAt = -1;
    QString readError;
    SignatureVerdict signature; // checked once the digests hold, where the policy reads the record
    FileIdentity identity; // of the file opened, taken before its first read

    bool ok() const { return outcome == Verified && signature.accepts(); }
};

// Walks the package at `path`: the magic, the check block, then each listed
// image's magic and digest.
VerifyResult verify(const QString& path, const VerifyOptions& options);

} // namespace Package
} // namespace Upgrade
