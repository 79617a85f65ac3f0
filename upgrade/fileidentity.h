#pragma once

#include <QByteArray>

#include <ctime>

#include <sys/types.h>

namespace Upgrade {
namespace Package {

// Which file a path named at one moment: device, inode, size and the
// modification and status-change times. A file replaced by a rename, copied
// over, truncated or rewritten has another identity, which is how a start
// tells the package that was verified from one swapped in after the check.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1; // -1: no file
    timespec modified{};
    timespec changed{};

    bool isValid() const { return size >= 0; }

    // The open file behind a descriptor.
    static FileIdentity ofDescriptor(int fd);
    // The file the path names now, links followed as an open follows them;
    // invalid when there is none.
    static FileIdentity ofPath(const QByteArray& path);
};

// Two invalid identities never match: no file is not the same file.
bool operator==(const FileIdentity& a, const FileIdentity& b);
inline bool operator!=(const FileIdentity& a, const FileIdentity& b)
{
    return !(a == b);
}

} // namespace Package
} // namespace Upgrade
