#include "upgrade/readahead.h"

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace Upgrade {
namespace Package {

ReadAhead::ReadAhead(QFile& file, Mode mode, qint64 chunkSize)
    : fd(mode == Mode::Off ? -1 : file.handle())
{
    // Where the kernel reads a chunk ahead by itself, 40 hints a chunk would
    // only cost time.
    if (fd >= 0 && mode == Mode::WhereUseful && kernelReadAheadWindow(fd) >= chunkSize)
        fd = -1;
}

void ReadAhead::bridge(qint64 offset, qint64 nextLength)
{
    request(offset, qMin(Piece, nextLength));
}

void ReadAhead::request(qint64 offset, qint64 length)
{
    const qint64 end = offset + length;
    // The kernel cuts one hint to the device's read-ahead window, so a whole
    // chunk in one hint would fetch only its first few hundred KiB.
    for (qint64 at = qMax(offset, hintedEnd); fd >= 0 && at < end; at += Piece) {
        // A descriptor that takes no hints (a pipe, say) simply goes without.
        if (posix_fadvise(fd, at, qMin(Piece, end - at), POSIX_FADV_WILLNEED) != 0)
            fd = -1;
    }
    hintedEnd = qMax(hintedEnd, end);
}

qint64 kernelReadAheadWindow(int fd)
{
    struct stat st
    {
    };
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

} // namespace Package
} // namespace Upgrade
