#include "upgrade/fileidentity.h"

#include <sys/stat.h>

namespace Upgrade {
namespace Package {

namespace {

FileIdentity fromStat(const struct stat& status)
{
    FileIdentity identity;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modified = status.st_mtim;
    identity.changed = status.st_ctim;
    return identity;
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

FileIdentity FileIdentity::ofDescriptor(int fd)
{
    struct stat status{};
    return fd >= 0 && ::fstat(fd, &status) == 0 ? fromStat(status) : FileIdentity();
}

FileIdentity FileIdentity::ofPath(const QByteArray& path)
{
    struct stat status{};
    return ::stat(path.constData(), &status) == 0 ? fromStat(status) : FileIdentity();
}

bool operator==(const FileIdentity& a, const FileIdentity& b)
{
    return a.isValid() && b.isValid() && a.device == b.device && a.inode == b.inode && a.size == b.size
        && sameTime(a.modified, b.modified) && sameTime(a.changed, b.changed);
}

} // namespace Package
} // namespace Upgrade
