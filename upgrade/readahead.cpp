#include "upgrade/readahead.h"

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Upgrade {
namespace Package {

namespace {

// Smaller pieces cost a card one command each; larger ones the kernel splits
// anyway, and they would keep more of the file cached ahead.
constexpr qint64 SmallestPiece = 128 * 1024;
constexpr qint64 LargestPiece = 1024 * 1024;
// What eMMC and SD hosts commonly take in one request.
constexpr qint64 UnknownQueuePiece = 512 * 1024;

// Where the piece from `at` ends. The kernel counts whole pages against a
// hint's limit, so a piece that straddled one more page would lose its last
// page, which the read then fetches with read-ahead of its own past the
// chunk: before a drop, bytes read twice.
qint64 pieceEnd(qint64 at, qint64 piece)
{
    static const qint64 page = sysconf(_SC_PAGESIZE);
    return at - at % page + piece;
}

} // namespace

ReadAhead::ReadAhead(QFile& file, Mode mode)
    : fd(mode == Mode::Off ? -1 : file.handle())
    , pieceSize(UnknownQueuePiece)
{
    if (fd < 0)
        return;
    const qint64 request = largestRequest(fd);
    if (request > 0)
        pieceSize = qBound(SmallestPiece, request, LargestPiece);
    // The hints take over from the kernel's own read-ahead, also where its
    // window spans a chunk: started by a read the hints do not cover (the
    // header, an image's first chunk), it runs on past them into pages the
    // next drop evicts, which storage then serves twice.
    posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
}

void ReadAhead::bridge(qint64 offset, qint64 nextLength)
{
    request(offset, qMin(pieceEnd(offset, pieceSize), offset + nextLength) - offset);
}

void ReadAhead::request(qint64 offset, qint64 length)
{
    const qint64 end = offset + length;
    // The kernel cuts one hint to the device's read-ahead window or largest
    // request, so a whole chunk in one hint would fetch only its first part.
    for (qint64 at = qMax(offset, hintedEnd); fd >= 0 && at < end;) {
        const qint64 to = qMin(pieceEnd(at, pieceSize), end);
        // A descriptor that takes no hints (a pipe, say) simply goes without.
        if (posix_fadvise(fd, at, to - at, POSIX_FADV_WILLNEED) != 0)
            fd = -1;
        at = to;
    }
    hintedEnd = qMax(hintedEnd, end);
}

qint64 largestRequest(int fd)
{
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0)
        return -1;
    const QString device = QStringLiteral("%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    // A whole disk or a partition (the queue is its disk's); a file system
    // without a block device (FUSE, NFS) has none.
    for (const QString& path : {QStringLiteral("/sys/dev/block/%1/queue/max_sectors_kb"),
                                QStringLiteral("/sys/dev/block/%1/../queue/max_sectors_kb")}) {
        QFile file(path.arg(device));
        bool ok = false;
        const qint64 kib = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong(&ok) : 0;
        if (ok)
            return kib * 1024;
    }
    return -1;
}

} // namespace Package
} // namespace Upgrade
