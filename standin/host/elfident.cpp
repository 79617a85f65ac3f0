#include "elfident.h"

#include <QFile>

#include <elf.h>

namespace Standin {

namespace {

int readHalf(const unsigned char* bytes, int encoding)
{
    return encoding == ELFDATA2MSB ? (bytes[0] << 8) | bytes[1] : bytes[0] | (bytes[1] << 8);
}

QString className(int elfClass)
{
    switch (elfClass) {
    case ELFCLASS32:
        return QStringLiteral("32-bit");
    case ELFCLASS64:
        return QStringLiteral("64-bit");
    default:
        return QStringLiteral("class %1").arg(elfClass);
    }
}

QString encodingName(int encoding)
{
    switch (encoding) {
    case ELFDATA2LSB:
        return QStringLiteral("little-endian");
    case ELFDATA2MSB:
        return QStringLiteral("big-endian");
    default:
        return QStringLiteral("byte order %1").arg(encoding);
    }
}

QString describe(const ElfIdent& ident)
{
    return QStringLiteral("%1 %2 %3")
        .arg(elfMachineName(ident.machine), className(ident.elfClass), encodingName(ident.dataEncoding));
}

} // namespace

ElfIdent readElfIdent(const QString& path)
{
    ElfIdent ident;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ident;
    // e_ident (16 bytes), e_type (2), e_machine (2): the same offsets in
    // both classes.
    const QByteArray head = file.read(EI_NIDENT + 4);
    ident.readable = true;
    if (head.size() < SELFMAG || !head.startsWith(QByteArray(ELFMAG, SELFMAG)))
        return ident;
    ident.elf = true;
    if (head.size() < EI_NIDENT + 4)
        return ident;
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.constData());
    ident.elfClass = bytes[EI_CLASS];
    ident.dataEncoding = bytes[EI_DATA];
    ident.machine = readHalf(bytes + EI_NIDENT + 2, ident.dataEncoding);
    return ident;
}

ElfIdent hostElfIdent()
{
    ElfIdent ident;
    ident.readable = true;
    ident.elf = true;
    ident.elfClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    ident.dataEncoding = ELFDATA2MSB;
#else
    ident.dataEncoding = ELFDATA2LSB;
#endif
#if defined(__x86_64__)
    ident.machine = EM_X86_64;
#elif defined(__aarch64__)
    ident.machine = EM_AARCH64;
#elif defined(__arm__)
    ident.machine = EM_ARM;
#elif defined(__i386__)
    ident.machine = EM_386;
#elif defined(__riscv)
    ident.machine = EM_RISCV;
#else
#error "unknown machine: add its EM_ value"
#endif
    return ident;
}

QString elfMachineName(int machine)
{
    switch (machine) {
    case EM_X86_64:
        return QStringLiteral("x86-64");
    case EM_AARCH64:
        return QStringLiteral("AArch64");
    case EM_ARM:
        return QStringLiteral("32-bit Arm");
    case EM_386:
        return QStringLiteral("i386");
    case EM_RISCV:
        return QStringLiteral("RISC-V");
    case EM_PPC64:
        return QStringLiteral("PowerPC64");
    case EM_S390:
        return QStringLiteral("S/390");
    default:
        return QStringLiteral("machine %1").arg(machine);
    }
}

QString elfMismatch(const QString& path)
{
    const ElfIdent file = readElfIdent(path);
    if (!file.readable)
        return QString();
    if (!file.elf)
        return QStringLiteral("%1 is not an ELF shared object").arg(path);
    const ElfIdent host = hostElfIdent();
    if (file.machine == host.machine && file.elfClass == host.elfClass
        && file.dataEncoding == host.dataEncoding)
        return QString();
    return QStringLiteral("%1 is built for %2, this host runs %3").arg(path, describe(file), describe(host));
}

} // namespace Standin
