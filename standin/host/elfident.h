#pragma once

#include <QString>

namespace Standin {

// What the ELF identification and header of a file say about the machine it
// was built for.
struct ElfIdent
{
    bool readable = false; // the file could be opened and read
    bool elf = false; // it starts with the ELF magic
    int elfClass = 0; // 1: 32-bit, 2: 64-bit
    int dataEncoding = 0; // 1: little-endian, 2: big-endian
    int machine = 0; // e_machine, EM_* from <elf.h>
};

ElfIdent readElfIdent(const QString& path);

// The identity of the code that is running now (this process's machine).
ElfIdent hostElfIdent();

// Name of an e_machine value ("x86-64", "AArch64", ..., "machine 1234").
QString elfMachineName(int machine);

// Why the file cannot be loaded into this process: a one-line reason when
// it is an ELF file for another machine, class or byte order, or not an ELF
// file at all; empty when it matches this process or cannot be read (the
// dynamic loader then reports what is wrong with it).
//
// The dynamic loader itself reports an object for another machine as
// "cannot open shared object file: No such file or directory", which
// misleads whoever installed the wrong architecture's package.
QString elfMismatch(const QString& path);

} // namespace Standin
