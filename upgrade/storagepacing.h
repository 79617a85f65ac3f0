#pragma once

#include "upgrade/packagecheck.h"

#include <QtGlobal>

class QFile;

namespace Upgrade {
namespace Package {

class ReadAhead;
class WalkLog;

// The walk's pause after each chunk: 10 ms, which a signal does not shorten.
void pauseAfterChunk();

// How the walk paces the storage under one image's data, around each chunk
// the digest loop reads: read-ahead hints for the next chunk, a page-cache
// drop after the 11th chunk and every 10th after it, and the pause. It reads
// nothing itself, so the digest loop's reads and log lines keep their order
// with the hints, drops and pauses.
class StoragePacing
{
public:
    StoragePacing(QFile& file, const VerifyOptions& options, ReadAhead& readAhead, const WalkLog& log);

    // Before the read of `length` of the image's `remaining` bytes.
    void beforeRead(qint64 length, qint64 remaining);
    // With the chunk just read in the buffer, not hashed yet, and
    // `nextLength` bytes to read next.
    void afterRead(qint64 nextLength);
    // Once the chunk is hashed and logged.
    void afterChunk();

    int drops() const { return dropCount; }

private:
    QFile& file;
    const VerifyOptions& options;
    ReadAhead& readAhead;
    const WalkLog& log;
    bool firstChunk = true;
    int sinceDrop = 0;
    int dropCount = 0;
};

} // namespace Package
} // namespace Upgrade
