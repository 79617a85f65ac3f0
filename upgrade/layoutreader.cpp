#include "upgrade/layoutreader.h"

#include "upgrade/signaturerecord.h"
#include "upgrade/upgradeids.h"

#include <QFileDevice>

namespace Upgrade {
namespace Package {

bool isMagic(const QByteArray& bytes)
{
    return bytes == PackageMagic;
}

LayoutReader::LayoutReader(QFileDevice& file)
    : device(file)
{
}

void LayoutReader::streamFields(const ByteSink& fieldSink, QByteArray& fieldBuffer)
{
    sink = fieldSink;
    buffer = &fieldBuffer;
}

QByteArray LayoutReader::readMagic()
{
    const QByteArray magic = device.read(4);
    noteReadError();
    return magic;
}

CheckBlock LayoutReader::readHead()
{
    CheckBlock block;
    // The package header is the file-information query's business.
    block.headerLength = readLengthField();
    block.header = readField(block.headerLength);
    block.checkLength = readLengthField();
    block.raw = readField(block.checkLength);
    if (block.raw.cut)
        return block;
    const QByteArray decoded = QByteArray::fromBase64(block.raw.bytes);
    block.text = decoded.isNull() ? QString() : QString::fromUtf8(untilNul(decoded));
    decodeCheckJson(block.text, block.packet);
    return block;
}

ImageRecord LayoutReader::readRecordMagic(uint32_t size)
{
    ImageRecord record;
    record.offset = device.pos();
    record.size = size;
    record.magic = readMagic();
    return record;
}

void LayoutReader::readSubHeader(ImageRecord& record)
{
    record.subHeaderLength = readLengthField();
    record.subHeader = readField(record.subHeaderLength);
    // Sub-headers are ASCII.
    if (!record.subHeader.cut)
        record.text = QString::fromLatin1(untilNul(record.subHeader.bytes));
}

ImageRecord LayoutReader::readImage(uint32_t size)
{
    ImageRecord record = readRecordMagic(size);
    readSubHeader(record);
    const qint64 fileSize = device.size();
    record.missing = qMax<qint64>(0, record.end() - fileSize);
    device.seek(qMin(record.end(), fileSize));
    return record;
}

Tail LayoutReader::readTail()
{
    Tail tail;
    tail.offset = device.pos();
    tail.bytes = readBounded(device, SignatureRecord::MaxLength + 1);
    noteReadError();
    return tail;
}

bool LayoutReader::noteReadError()
{
    if (device.error() == QFileDevice::NoError)
        return false;
    if (errorAt < 0) {
        error = device.errorString();
        errorAt = device.pos();
    }
    return true;
}

QByteArray LayoutReader::readLengthField()
{
    const QByteArray bytes = device.read(4);
    noteReadError();
    if (sink)
        sink(bytes.constData(), bytes.size());
    return bytes;
}

Field LayoutReader::readField(const QByteArray& lengthField)
{
    const Field field
        = Package::readField(device, littleEndian32(lengthField), sink, buffer ? *buffer : unused);
    noteReadError();
    return field;
}

} // namespace Package
} // namespace Upgrade
