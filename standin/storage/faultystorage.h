#pragma once

#include <QString>

#include <cerrno>

#include <sys/types.h>

namespace Standin {

// Storage that fails under one file, as a dying SD card or a pulled USB stick
// does, without root or a broken device. Linking this defines read() in the
// program, which then stands in for the C library's in every library of the
// process, the dlopen'ed plug-in's Qt included; unarmed it only passes
// through.
class FaultyStorage
{
public:
    struct Fault
    {
        qint64 offset = -1; // reads from this byte on fail; -1: none do
        int error = EIO; // their errno
        // Instead of failing, the file is cut to `offset` when a read first
        // reaches it, as another process truncating it would. Not in the
        // read-only layer (upgrade-sim's), which refuses to arm it.
        bool cut = false;
        qint64 readLimit = 0; // bytes per read call at most; 0: as asked
    };

    // Arms the fault for the file at `path` (matched by device and inode, so
    // every descriptor of it counts). False when the file cannot be stat'ed,
    // or for a cut in the read-only layer.
    static bool arm(const QString& path, const Fault& fault);
    static void disarm();

    // "OFFSET[:ERRNO]", ERRNO a number or a name such as EIO or ENXIO (EIO
    // when left out). False with a one-line reason otherwise.
    static bool parse(const QString& text, Fault& fault, QString& error);

    // The program's read(): the fault applied to the armed file's reads.
    static ssize_t read(int fd, void* buffer, size_t count);
};

} // namespace Standin
