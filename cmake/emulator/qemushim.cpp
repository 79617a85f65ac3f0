// Preloaded (qemu-aarch64 -E LD_PRELOAD=...) into every arm64 program that the
// cross build runs under the emulator: the discovered tests, the tests' own
// children. It makes two things work that qemu-user 7.2 on a machine without
// binfmt_misc cannot do by itself:
//
// 1. QProcess. Qt's forkfd asks the kernel whether it has pidfds with
//    waitid(P_PIDFD, ...); the host kernel has them, so Qt then forks with
//    clone(CLONE_PIDFD), which qemu 7.2 refuses with EINVAL, and every
//    QProcess::start fails ("Process crashed"). The shim answers that probe
//    with EINVAL, as a kernel without pidfds does, and Qt forks the classic
//    way.
// 2. Starting an arm64 program. The kernel cannot run one here (ENOEXEC), so
//    an exec of an AArch64 ELF file becomes an exec of qemu-aarch64 with the
//    same root, this shim preloaded again and the original argv[0].
//
// Nothing of this is built into the plug-in or the device package.
#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#define UPGRADE_EXPORT extern "C" __attribute__((visibility("default")))

extern char** environ;

namespace {

// idtype of waitid for a pidfd (Linux 5.4).
constexpr long idtypePidfd = 3;
// Room for the emulator's options in front of the original arguments.
constexpr int maxArguments = 4096;

char preloadSetting[PATH_MAX + 16] = "";

using ExecveFn = int (*)(const char*, char* const[], char* const[]);
using SyscallFn = long (*)(long, ...);

ExecveFn realExecve()
{
    static const auto fn = reinterpret_cast<ExecveFn>(dlsym(RTLD_NEXT, "execve"));
    return fn;
}

bool isAarch64Elf(const char* path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char header[EI_NIDENT + 4];
    const ssize_t got = read(fd, header, sizeof header);
    close(fd);
    return got == static_cast<ssize_t>(sizeof header) && memcmp(header, ELFMAG, SELFMAG) == 0
        && header[EI_DATA] == ELFDATA2LSB
        && (header[EI_NIDENT + 2] | (header[EI_NIDENT + 3] << 8)) == EM_AARCH64;
}

int execute(const char* path, char* const argv[], char* const envp[])
{
    if (!realExecve()) {
        errno = ENOSYS;
        return -1;
    }
    if (!isAarch64Elf(path) || !preloadSetting[0])
        return realExecve()(path, argv, envp);
    // Static storage: this runs between fork and exec.
    static const char* arguments[maxArguments];
    int count = 0;
    arguments[count++] = UPGRADE_QEMU_AARCH64;
    arguments[count++] = "-L";
    arguments[count++] = UPGRADE_QEMU_LD_PREFIX;
    arguments[count++] = "-E";
    arguments[count++] = preloadSetting;
    arguments[count++] = "-0";
    arguments[count++] = argv && argv[0] ? argv[0] : path;
    arguments[count++] = path;
    for (int i = 1; argv && argv[0] && argv[i]; ++i) {
        if (count + 1 >= maxArguments) {
            errno = E2BIG;
            return -1;
        }
        arguments[count++] = argv[i];
    }
    arguments[count] = nullptr;
    return realExecve()(UPGRADE_QEMU_AARCH64, const_cast<char* const*>(arguments), envp);
}

// execvp's search of PATH, for a name without a slash.
int executeSearching(const char* file, char* const argv[], char* const envp[])
{
    if (!file || !*file) {
        errno = ENOENT;
        return -1;
    }
    if (strchr(file, '/'))
        return execute(file, argv, envp);
    const char* path = getenv("PATH");
    if (!path)
        path = "/usr/local/bin:/usr/bin:/bin";
    int lastError = ENOENT;
    for (const char* dir = path;;) {
        const char* end = strchrnul(dir, ':');
        char candidate[PATH_MAX];
        const size_t dirLength = static_cast<size_t>(end - dir);
        if (dirLength + strlen(file) + 2 <= sizeof candidate) {
            memcpy(candidate, dir, dirLength);
            size_t length = dirLength;
            if (length == 0)
                candidate[length++] = '.';
            candidate[length++] = '/';
            strcpy(candidate + length, file);
            execute(candidate, argv, envp);
            if (errno != ENOENT && errno != ENOTDIR)
                lastError = errno;
        }
        if (!*end)
            break;
        dir = end + 1;
    }
    errno = lastError;
    return -1;
}

// Remembers where this shim lives and takes LD_PRELOAD out of the
// environment: the programs this process starts natively (the shell of
// system()) must not try to preload an arm64 library, and arm64 ones get the
// shim back through the emulator's -E.
__attribute__((constructor)) void setUp()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&setUp), &info) && info.dli_fname && info.dli_fname[0] == '/'
        && strlen(info.dli_fname) < PATH_MAX) {
        strcpy(preloadSetting, "LD_PRELOAD=");
        strcat(preloadSetting, info.dli_fname);
    }
    unsetenv("LD_PRELOAD");
}

} // namespace

UPGRADE_EXPORT long syscall(long number, ...)
{
    va_list list;
    va_start(list, number);
    long a[6];
    for (long& argument : a)
        argument = va_arg(list, long);
    va_end(list);
    if (number == SYS_waitid && a[0] == idtypePidfd) {
        errno = EINVAL;
        return -1;
    }
    static const auto real = reinterpret_cast<SyscallFn>(dlsym(RTLD_NEXT, "syscall"));
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

UPGRADE_EXPORT int execve(const char* path, char* const argv[], char* const envp[])
{
    return execute(path, argv, envp);
}

UPGRADE_EXPORT int execv(const char* path, char* const argv[])
{
    return execute(path, argv, environ);
}

UPGRADE_EXPORT int execvpe(const char* file, char* const argv[], char* const envp[])
{
    return executeSearching(file, argv, envp);
}

UPGRADE_EXPORT int execvp(const char* file, char* const argv[])
{
    return executeSearching(file, argv, environ);
}
