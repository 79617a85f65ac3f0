#pragma once

#include <QtGlobal>

class QFile;

namespace Upgrade {
namespace Package {

// Asks the kernel to fetch byte ranges of the package into the page cache in
// the background, so storage reads the next chunk while this one is hashed
// and the walk pauses; no thread of ours is involved.
class ReadAhead
{
public:
    enum class Mode { Off, On };

    ReadAhead(QFile& file, Mode mode);

    // Queues the first piece of the chunk after the one about to be read,
    // behind that chunk's own pieces: when the read returns, storage is
    // already on the next chunk instead of idling until its hint arrives.
    // The kernel's own read-ahead runs this far past a read too.
    void bridge(qint64 offset, qint64 nextLength);

    // Hints the part of the range not hinted yet: a chunk's hint leaves out
    // the piece its bridge already asked for.
    void request(qint64 offset, qint64 length);

    // Bytes of one hint: the largest request the device's queue takes, so
    // that a card pays its per-command cost as seldom as the kernel's own
    // reads do.
    qint64 piece() const { return pieceSize; }

private:
    int fd; // -1: no hints
    qint64 pieceSize;
    qint64 hintedEnd = 0; // the walk reads forward, so one end marks all that was hinted
};

// The largest request (max_sectors_kb) of the queue of the device that holds
// the open file, in bytes; -1 where sysfs does not tell.
qint64 largestRequest(int fd);

} // namespace Package
} // namespace Upgrade
