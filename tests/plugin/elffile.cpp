#include "elffile.h"

#include <QFile>

#include <cstring>
#include <elf.h>

namespace testing_support {

template <typename T>
std::optional<T> ElfFile::read(uint64_t offset) const
{
    if (offset > uint64_t(image.size()) || sizeof(T) > uint64_t(image.size()) - offset)
        return std::nullopt;
    T value;
    std::memcpy(&value, image.constData() + offset, sizeof value);
    return value;
}

bool ElfFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    image = file.readAll();
    const auto header = read<Elf64_Ehdr>(0);
    if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64
        || header->e_ident[EI_DATA] != ELFDATA2LSB) {
        error = QStringLiteral("not a 64-bit little-endian ELF file");
        return false;
    }
    return true;
}

std::optional<ElfFile::Section> ElfFile::section(uint32_t index) const
{
    const auto header = read<Elf64_Ehdr>(0);
    if (!header || index >= header->e_shnum)
        return std::nullopt;
    const auto raw = read<Elf64_Shdr>(header->e_shoff + uint64_t(index) * header->e_shentsize);
    if (!raw)
        return std::nullopt;
    return Section{raw->sh_type, raw->sh_offset, raw->sh_size, raw->sh_entsize, raw->sh_link};
}

std::optional<ElfFile::Section> ElfFile::sectionOfType(uint32_t type) const
{
    const auto header = read<Elf64_Ehdr>(0);
    for (uint32_t i = 0; header && i < header->e_shnum; ++i) {
        const auto candidate = section(i);
        if (candidate && candidate->type == type)
            return candidate;
    }
    return std::nullopt;
}

QString ElfFile::stringAt(const Section& table, uint64_t offset) const
{
    if (offset >= table.size || table.offset + table.size > uint64_t(image.size()))
        return {};
    const char* start = image.constData() + table.offset + offset;
    const void* end = std::memchr(start, 0, table.size - offset);
    return end ? QString::fromLatin1(start, int(static_cast<const char*>(end) - start)) : QString();
}

QStringList ElfFile::exportedSymbols() const
{
    QStringList names;
    const auto symbols = sectionOfType(SHT_DYNSYM);
    const auto strings = symbols ? section(symbols->link) : std::nullopt;
    if (!symbols || !strings || symbols->entrySize != sizeof(Elf64_Sym))
        return names;
    // Entry 0 is the reserved null symbol.
    for (uint64_t i = 1; i < symbols->size / sizeof(Elf64_Sym); ++i) {
        const auto symbol = read<Elf64_Sym>(symbols->offset + i * sizeof(Elf64_Sym));
        if (!symbol || symbol->st_shndx == SHN_UNDEF)
            continue;
        const unsigned binding = ELF64_ST_BIND(symbol->st_info);
        if (binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE)
            names << stringAt(*strings, symbol->st_name);
    }
    return names;
}

QString ElfFile::soname() const
{
    const auto dynamic = sectionOfType(SHT_DYNAMIC);
    const auto strings = dynamic ? section(dynamic->link) : std::nullopt;
    if (!dynamic || !strings)
        return {};
    for (uint64_t at = dynamic->offset; at + sizeof(Elf64_Dyn) <= dynamic->offset + dynamic->size;
         at += sizeof(Elf64_Dyn)) {
        const auto entry = read<Elf64_Dyn>(at);
        if (!entry || entry->d_tag == DT_NULL)
            break;
        if (entry->d_tag == DT_SONAME)
            return stringAt(*strings, entry->d_un.d_val);
    }
    return {};
}

} // namespace testing_support
