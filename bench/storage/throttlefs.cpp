// throttlefs: a FUSE file system with one file, disk.img, whose reads are
// paced to a set bandwidth. A loop device over disk.img with ext4 on it
// stands for the device's eMMC or SD card in the storage bench.
//
//   throttlefs --backing=FILE --rate=MBPS [--cost=US] [-f] MOUNTPOINT
//
// /rate holds the bandwidth in MB/s (10^6 bytes); writing a number to it
// changes the pace without remounting; 0 means unpaced. /cost holds the
// fixed time in microseconds each request costs before its bytes flow, as a
// card's command does (0, the default, is bandwidth only). /stats holds the
// bytes and requests read from disk.img since the last write to /stats.
// Writes to disk.img are never paced: they only prepare the bench.

#define FUSE_USE_VERSION 31

#include <fuse3/fuse.h>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr const char* DiskPath = "/disk.img";
constexpr const char* RatePath = "/rate";
constexpr const char* StatsPath = "/stats";
constexpr const char* CostPath = "/cost";
// O_DIRECT wants offsets, lengths and buffers aligned to the logical block.
constexpr size_t DirectAlign = 4096;

struct Options
{
    const char* backing = nullptr;
    const char* rate = nullptr;
    const char* cost = nullptr;
};

const fuse_opt optionSpecs[] = {
    {"--backing=%s", offsetof(Options, backing), 0},
    {"--rate=%s", offsetof(Options, rate), 0},
    {"--cost=%s", offsetof(Options, cost), 0},
    FUSE_OPT_END,
};

int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void sleepUntilNs(int64_t deadline)
{
    const timespec when{time_t(deadline / 1000000000), long(deadline % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &when, nullptr) == EINTR) { }
}

// One channel of fixed bandwidth. A read reserves the next free stretch of
// channel time; a channel left idle earns no credit, so a reader that stops
// to compute loses that time for good, as on a real card. Only the
// reservation is serialised: the backing read itself runs during the wait.
// With a cost per request the channel also serves one request at a time and
// spends that cost before each one's bytes, so fewer, larger requests move
// the same bytes sooner.
class Pacer
{
public:
    void setRate(double megabytesPerSecond)
    {
        std::lock_guard<std::mutex> lock(mutex);
        rate = megabytesPerSecond;
    }

    void setCost(double costMicroseconds)
    {
        std::lock_guard<std::mutex> lock(mutex);
        cost = costMicroseconds;
    }

    std::pair<double, double> current()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return {rate, cost};
    }

    // Returns the time at which a read of `bytes` may complete.
    int64_t reserve(size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const int64_t now = monotonicNs();
        if (rate <= 0 && cost <= 0)
            return now;
        const int64_t start = std::max(now, busyUntil);
        const double transfer = rate > 0 ? double(bytes) * 1000.0 / rate : 0;
        busyUntil = start + int64_t(cost * 1000.0 + transfer);
        return busyUntil;
    }

private:
    std::mutex mutex;
    double rate = 0;
    double cost = 0;
    int64_t busyUntil = 0;
};

struct State
{
    int directFd = -1; // O_DIRECT, for paced reads; -1 when the file system refuses it
    int bufferedFd = -1; // for writes, and for reads where O_DIRECT is refused
    off_t size = 0;
    Pacer pacer;
    std::atomic<uint64_t> bytesRead{0};
    std::atomic<uint64_t> requests{0};
};

State state;

// Reads from the backing file without leaving its pages in the page cache:
// a dropped cache above must never be refilled from a cache below.
ssize_t readBacking(char* out, size_t size, off_t offset)
{
    if (state.directFd < 0) {
        const ssize_t n = pread(state.bufferedFd, out, size, offset);
        if (n > 0)
            posix_fadvise(state.bufferedFd, offset, n, POSIX_FADV_DONTNEED);
        return n < 0 ? -errno : n;
    }
    const off_t start = offset & ~off_t(DirectAlign - 1);
    const size_t span = (size_t(offset - start) + size + DirectAlign - 1) & ~(DirectAlign - 1);
    // One bounce buffer per thread, kept: a fresh one per request would be
    // mapped and zero-filled by the kernel every time, which costs more
    // processor time than the copy it serves.
    thread_local void* bounce = nullptr;
    thread_local size_t bounceSize = 0;
    if (bounceSize < span) {
        std::free(bounce);
        bounce = nullptr;
        bounceSize = 0;
        if (posix_memalign(&bounce, DirectAlign, span) != 0)
            return -ENOMEM;
        bounceSize = span;
    }
    const ssize_t n = pread(state.directFd, bounce, span, start);
    if (n < 0)
        return -errno;
    const ssize_t skip = offset - start;
    const ssize_t result = std::max<ssize_t>(0, std::min<ssize_t>(n - skip, ssize_t(size)));
    std::memcpy(out, static_cast<char*>(bounce) + skip, size_t(result));
    return result;
}

std::string numberText(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g\n", value);
    return text;
}

bool isControl(const char* path)
{
    return std::strcmp(path, RatePath) == 0 || std::strcmp(path, CostPath) == 0
        || std::strcmp(path, StatsPath) == 0;
}

std::string statsText()
{
    char text[128];
    std::snprintf(text, sizeof text, "bytes %llu\nrequests %llu\n",
                  static_cast<unsigned long long>(state.bytesRead.load()),
                  static_cast<unsigned long long>(state.requests.load()));
    return text;
}

int fsGetattr(const char* path, struct stat* st, fuse_file_info*)
{
    std::memset(st, 0, sizeof *st);
    st->st_uid = getuid();
    st->st_gid = getgid();
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
    } else if (std::strcmp(path, DiskPath) == 0) {
        st->st_mode = S_IFREG | 0600;
        st->st_nlink = 1;
        st->st_size = state.size;
    } else if (isControl(path)) {
        st->st_mode = S_IFREG | 0600;
        st->st_nlink = 1;
        st->st_size = 64;
    } else {
        return -ENOENT;
    }
    return 0;
}

int fsReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags)
{
    if (std::strcmp(path, "/") != 0)
        return -ENOENT;
    for (const char* name : {".", "..", DiskPath + 1, RatePath + 1, CostPath + 1, StatsPath + 1})
        fill(buffer, name, nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

int fsOpen(const char* path, fuse_file_info* fi)
{
    if (std::strcmp(path, DiskPath) != 0 && !isControl(path))
        return -ENOENT;
    // No page cache for our files: every read of the loop device has to
    // reach the pacing, and the control files must show current values.
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int readText(const std::string& text, char* out, size_t size, off_t offset)
{
    if (offset >= off_t(text.size()))
        return 0;
    const size_t n = std::min(size, text.size() - size_t(offset));
    std::memcpy(out, text.data() + offset, n);
    return int(n);
}

int fsRead(const char* path, char* out, size_t size, off_t offset, fuse_file_info*)
{
    if (std::strcmp(path, RatePath) == 0)
        return readText(numberText(state.pacer.current().first), out, size, offset);
    if (std::strcmp(path, CostPath) == 0)
        return readText(numberText(state.pacer.current().second), out, size, offset);
    if (std::strcmp(path, StatsPath) == 0)
        return readText(statsText(), out, size, offset);
    if (offset >= state.size)
        return 0;
    size = std::min(size, size_t(state.size - offset));
    const int64_t done = state.pacer.reserve(size);
    const ssize_t n = readBacking(out, size, offset);
    sleepUntilNs(done);
    if (n > 0) {
        state.bytesRead += uint64_t(n);
        ++state.requests;
    }
    return int(n);
}

int fsWrite(const char* path, const char* data, size_t size, off_t offset, fuse_file_info*)
{
    const bool isRate = std::strcmp(path, RatePath) == 0;
    if (isRate || std::strcmp(path, CostPath) == 0) {
        const std::string text(data, size);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || value < 0)
            return -EINVAL;
        if (isRate)
            state.pacer.setRate(value);
        else
            state.pacer.setCost(value);
        return int(size);
    }
    if (std::strcmp(path, StatsPath) == 0) {
        state.bytesRead = 0;
        state.requests = 0;
        return int(size);
    }
    if (offset >= state.size)
        return -ENOSPC;
    size = std::min(size, size_t(state.size - offset));
    const ssize_t n = pwrite(state.bufferedFd, data, size, offset);
    return n < 0 ? -errno : int(n);
}

int fsTruncate(const char* path, off_t, fuse_file_info*)
{
    // Shell redirections truncate the control files before writing.
    return std::strcmp(path, DiskPath) == 0 ? -EPERM : 0;
}

int fsFsync(const char* path, int, fuse_file_info*)
{
    if (std::strcmp(path, DiskPath) != 0)
        return 0;
    return fdatasync(state.bufferedFd) == 0 ? 0 : -errno;
}

void* fsInit(fuse_conn_info*, fuse_config* config)
{
    // The loop device reads concurrently; attributes never change.
    config->direct_io = 1;
    config->kernel_cache = 0;
    config->entry_timeout = 3600;
    config->attr_timeout = 3600;
    return nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    fuse_args args = FUSE_ARGS_INIT(argc, argv);
    Options options;
    if (fuse_opt_parse(&args, &options, optionSpecs, nullptr) != 0)
        return 1;
    if (!options.backing) {
        std::fprintf(stderr, "usage: %s --backing=FILE [--rate=MBPS] [--cost=US] [fuse options] MOUNTPOINT\n",
                     argv[0]);
        return 2;
    }
    state.bufferedFd = open(options.backing, O_RDWR);
    if (state.bufferedFd < 0) {
        std::perror(options.backing);
        return 1;
    }
    state.directFd = open(options.backing, O_RDONLY | O_DIRECT);
    if (state.directFd < 0)
        std::fprintf(stderr, "%s: no O_DIRECT (%s); dropping backing pages after each read instead\n",
                     options.backing, std::strerror(errno));
    struct stat st
    {
    };
    fstat(state.bufferedFd, &st);
    state.size = st.st_size;
    if (options.rate)
        state.pacer.setRate(std::strtod(options.rate, nullptr));
    if (options.cost)
        state.pacer.setCost(std::strtod(options.cost, nullptr));
    // Sleeps end when the channel is free again, not up to 50 us later: with
    // costs of 100 us per request the default timer slack would be a cost
    // of its own. Threads inherit the slack.
    prctl(PR_SET_TIMERSLACK, 1UL);

    fuse_operations operations{};
    operations.getattr = fsGetattr;
    operations.readdir = fsReaddir;
    operations.open = fsOpen;
    operations.read = fsRead;
    operations.write = fsWrite;
    operations.truncate = fsTruncate;
    operations.fsync = fsFsync;
    operations.init = fsInit;
    const int status = fuse_main(args.argc, args.argv, &operations, nullptr);
    fuse_opt_free_args(&args);
    return status;
}
