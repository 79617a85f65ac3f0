#pragma once

#include "upgrade/packageformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QFileDevice;

namespace Upgrade {
namespace Package {

// Whether `bytes` are the magic that opens a package and each image record.
bool isMagic(const QByteArray& bytes);

// What follows the magic up to the first image record, as read and decoded.
struct CheckBlock
{
    QByteArray headerLength; // the raw length fields and texts
    Field header;
    QByteArray checkLength;
    Field raw;
    QString text; // the Base64-decoded block up to its first NUL; empty when cut
    CheckPacket packet;
};

// One image record as listed in the check block: its head as read, and where
// its data lies.
struct ImageRecord
{
    qint64 offset = 0; // of the record in the file
    uint32_t size = 0; // as the check block lists it
    QByteArray magic;
    QByteArray subHeaderLength; // the raw length field
    Field subHeader;
    QString text; // the sub-header up to its first NUL, as ASCII; empty when cut
    qint64 missing = 0; // bytes of the record past the end of the file, once passed

    // Wraps like the 32-bit size field when the sub-header claims more than
    // the record: a reader of the data then reads to the end of the file.
    uint32_t dataLength() const { return size - 8u - static_cast<uint32_t>(subHeader.length); }
    qint64 dataOffset() const { return subHeader.at + subHeader.length; }
    qint64 end() const { return offset + size; }
};

// What follows the last image record: where it starts, and its bytes.
struct Tail
{
    qint64 offset = 0;
    QByteArray bytes;
};

// Reads a package's layout in file order: the magic, the head, each listed
// image record, then what follows the last one. Fields over MaxFieldLength
// are cut as readField cuts them, so no length field decides the memory.
// Image data is left to the caller, which streams it itself or passes it.
class LayoutReader
{
public:
    explicit LayoutReader(QFileDevice& device);

    // Every byte after a magic, length fields included, goes to `sink`; the
    // rest of a field over the limit streams through `buffer` into it.
    void streamFields(const ByteSink& sink, QByteArray& buffer);

    QByteArray readMagic();
    // The header and the check block with its image list; a cut check block
    // lists no image.
    CheckBlock readHead();
    // The record's offset and magic; a walk that stops at a bad magic reads
    // no further.
    ImageRecord readRecordMagic(uint32_t size);
    // The record's sub-header length and sub-header, leaving the device at
    // its data.
    void readSubHeader(ImageRecord& record);
    // The whole record head, then on past the data to the record's end or
    // the file's.
    ImageRecord readImage(uint32_t size);
    // The bytes after the last image: a signature record or others, one past
    // a record's bound at most.
    Tail readTail();

    // The first read error the device reported, and where; the device
    // itself forgets it at its next read. Reads the caller makes are noted
    // through noteReadError(), which tells whether the last one failed.
    bool noteReadError();
    qint64 readErrorAt() const { return errorAt; }
    QString readError() const { return error; }

private:
    QByteArray readLengthField();
    Field readField(const QByteArray& lengthField);

    QFileDevice& device;
    ByteSink sink;
    QByteArray* buffer = nullptr;
    QByteArray unused; // no buffer is needed without a sink
    QString error;
    qint64 errorAt = -1;
};

} // namespace Package
} // namespace Upgrade
