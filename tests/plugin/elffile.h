#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace testing_support {

// Reads what a dynamic linker sees in a 64-bit little-endian ELF shared
// object: the symbols it defines for others and its SONAME. Works on the file
// alone, so the check needs no binutils.
class ElfFile
{
public:
    bool load(const QString& path);
    QString errorString() const { return error; }

    // Names of the global and weak symbols the dynamic symbol table defines.
    QStringList exportedSymbols() const;
    QString soname() const;

private:
    struct Section
    {
        uint32_t type;
        uint64_t offset;
        uint64_t size;
        uint64_t entrySize;
        uint32_t link;
    };

    std::optional<Section> sectionOfType(uint32_t type) const;
    std::optional<Section> section(uint32_t index) const;
    QString stringAt(const Section& table, uint64_t offset) const;
    template <typename T>
    std::optional<T> read(uint64_t offset) const;

    QByteArray image;
    QString error;
};

} // namespace testing_support
