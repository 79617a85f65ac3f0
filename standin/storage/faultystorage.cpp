#include "faultystorage.h"

#include <QFile>

#include <atomic>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Standin {

namespace {

// Set while disarmed, read by every read() of the process.
struct Armed
{
    std::atomic<bool> on{false};
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;
    FaultyStorage::Fault fault;
    bool wasCut = false;
};

Armed& armed()
{
    static Armed state;
    return state;
}

ssize_t realRead(int fd, void* buffer, size_t count)
{
    using Read = ssize_t (*)(int, void*, size_t);
    // The next read() after the program's own: the C library's, or a
    // sanitizer's interceptor in front of it.
    static const Read next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    return next(fd, buffer, count);
}

bool isArmedFile(int fd)
{
    struct stat status;
    return fstat(fd, &status) == 0 && status.st_dev == armed().device && status.st_ino == armed().inode;
}

// errno by its number or its name (EIO, ENXIO, ...); 0 when neither.
int errnoFromText(const QString& text)
{
    bool numeric = false;
    const int number = text.toInt(&numeric);
    if (numeric)
        return number > 0 && number < 4096 ? number : 0;
    for (int candidate = 1; candidate < 4096; ++candidate) {
        const char* name = strerrorname_np(candidate);
        if (name && text == QLatin1String(name))
            return candidate;
    }
    return 0;
}

} // namespace

bool FaultyStorage::arm(const QString& path, const Fault& fault)
{
    disarm();
#ifdef STANDIN_STORAGE_READ_ONLY
    if (fault.cut)
        return false;
#endif
    struct stat status;
    const QByteArray encoded = QFile::encodeName(path);
    if (stat(encoded.constData(), &status) != 0)
        return false;
    Armed& state = armed();
    state.device = status.st_dev;
    state.inode = status.st_ino;
    state.path = encoded.toStdString();
    state.fault = fault;
    state.wasCut = false;
    state.on.store(true, std::memory_order_release);
    return true;
}

void FaultyStorage::disarm()
{
    armed().on.store(false, std::memory_order_release);
}

bool FaultyStorage::parse(const QString& text, Fault& fault, QString& error)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    bool numeric = false;
    const qint64 offset = text.left(colon).toLongLong(&numeric);
    if (!numeric || offset < 0) {
        error = QStringLiteral("'%1' is not a byte offset").arg(text.left(colon));
        return false;
    }
    int code = EIO;
    if (colon >= 0) {
        code = errnoFromText(text.mid(colon + 1));
        if (code == 0) {
            error = QStringLiteral("'%1' is not an errno name or number").arg(text.mid(colon + 1));
            return false;
        }
        // Readers retry an interrupted read, so the walk would never end.
        if (code == EINTR) {
            error = QStringLiteral("EINTR is retried by every reader, it never fails a read");
            return false;
        }
    }
    fault.offset = offset;
    fault.error = code;
    return true;
}

ssize_t FaultyStorage::read(int fd, void* buffer, size_t count)
{
    Armed& state = armed();
    if (!state.on.load(std::memory_order_acquire) || !isArmedFile(fd))
        return realRead(fd, buffer, count);
    const Fault& fault = state.fault;
    if (fault.readLimit > 0)
        count = qMin<size_t>(count, size_t(fault.readLimit));
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (fault.offset < 0 || position < 0 || qint64(position) + qint64(count) <= fault.offset)
        return realRead(fd, buffer, count);
#ifndef STANDIN_STORAGE_READ_ONLY
    if (fault.cut) {
        if (!state.wasCut && truncate(state.path.c_str(), off_t(fault.offset)) == 0)
            state.wasCut = true;
        return realRead(fd, buffer, count);
    }
#endif
    if (position >= fault.offset) {
        errno = fault.error;
        return -1;
    }
    // Like a real card: the bytes before the fault first, the error on the
    // next read.
    return realRead(fd, buffer, size_t(fault.offset - position));
}

} // namespace Standin

// Qt reads files through read(); exported, so every library binds to it.
extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t count)
{
    return Standin::FaultyStorage::read(fd, buffer, count);
}
