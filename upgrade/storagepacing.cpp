#include "upgrade/storagepacing.h"

#include "upgrade/readahead.h"
#include "upgrade/walklog.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <sys/mman.h>
#include <unistd.h>

namespace Upgrade {
namespace Package {

void pauseAfterChunk()
{
    timespec request{0, 10 * 1000 * 1000};
    timespec left{};
    while (nanosleep(&request, &left) == -1 && errno == EINTR)
        request = left;
}

namespace {

// Keeps a long verification from filling the device's memory with cached
// pages of a file that is read once.
void dropPageCache(const WalkLog& log)
{
    const int status = std::system("echo 3 > /proc/sys/vm/drop_caches");
    if (status == 0)
        log.warning() << "Sync command executed successfully\n";
    else
        log.warning() << "Error executing sync command\n";
}

// Drops the page cache but the page that holds both the end of the chunk just
// read and the start of the next, which storage would otherwise serve twice.
// The drop passes over pages mapped into a process, so that page is mapped
// and locked for the moment of the drop; it stays cached after the unmap.
// mlock rather than a touch: a file cut short meanwhile fails the call
// instead of raising SIGBUS, and the drop then simply takes the page.
void dropPageCacheAfterRead(QFile& file, const WalkLog& log)
{
    static const qint64 page = sysconf(_SC_PAGESIZE);
    const qint64 at = file.pos();
    uchar* kept = at % page != 0 ? file.map(at - at % page, page) : nullptr;
    if (kept) {
        // No read-around: the page itself is cached already.
        madvise(kept, static_cast<size_t>(page), MADV_RANDOM);
        mlock(kept, static_cast<size_t>(page));
    }
    dropPageCache(log);
    if (kept)
        file.unmap(kept);
}

} // namespace

StoragePacing::StoragePacing(QFile& packageFile, const VerifyOptions& walkOptions, ReadAhead& hints,
                             const WalkLog& walkLog)
    : file(packageFile)
    , options(walkOptions)
    , readAhead(hints)
    , log(walkLog)
{
}

void StoragePacing::beforeRead(qint64 length, qint64 remaining)
{
    // Only a chunk that was itself hinted has storage busy to bridge from,
    // and a drop after this read would evict the bridge piece.
    if (!firstChunk && sinceDrop <= 9)
        readAhead.bridge(file.pos() + length, remaining - length);
}

void StoragePacing::afterRead(qint64 nextLength)
{
    // The chunk is in the buffer, so its drop can run before the chunk is
    // hashed rather than after: nothing of the next chunk is cached yet for
    // it to evict. No log line or read sits between the two, so the order
    // shows nowhere but in what storage has to read twice.
    if (sinceDrop > 9) {
        if (options.dropPageCache) {
            dropPageCacheAfterRead(file, log);
            ++dropCount;
        }
        sinceDrop = 0;
    }
    // One chunk ahead, and the bridge piece beyond it, at most: the page
    // cache holds no more than that of the file beside the buffer.
    readAhead.request(file.pos(), nextLength);
}

void StoragePacing::afterChunk()
{
    if (options.pauseAfterChunk)
        pauseAfterChunk();
    ++sinceDrop;
    firstChunk = false;
}

} // namespace Package
} // namespace Upgrade
