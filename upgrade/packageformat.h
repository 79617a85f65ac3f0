#pragma once

#include "upgrade/checkpacket.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class QFileDevice;
class QIODevice;

// The upgrade package's layout: the magic, little-endian length fields, the
// JSON header, the Base64 check block listing the image records, then the
// records, each with its own JSON sub-header.
namespace Upgrade {
namespace Package {

// The first four bytes as an unsigned little-endian number; 0 for fewer bytes.
uint32_t littleEndian32(const QByteArray& bytes);

// Appends the "systemImages" sizes of a check block or sub-header to the
// packet and replaces its md5; a text that is not JSON leaves it unchanged.
void decodeCheckJson(const QString& json, CheckPacket& packet);

// The bytes before the first NUL byte: the text of a header field.
QByteArray untilNul(const QByteArray& bytes);

// Reads up to `length` bytes, never asking for more than the device has left,
// so a forged length field cannot make the read reserve more than the file.
QByteArray readBounded(QIODevice& device, qint64 length);

// What follows the magic up to the first image record, as read and decoded.
struct CheckBlock
{
    QByteArray headerLength; // the raw length fields and texts
    QByteArray header;
    QByteArray checkLength;
    QByteArray raw;
    QString text; // the Base64-decoded block up to its first NUL
    CheckPacket packet;
    // The first read error, which a later read of the file no longer shows.
    QString readError;
    qint64 readErrorAt = -1;
};

// Reads the header and the check block at the device's position (just past
// the magic) and decodes the check block's image list.
CheckBlock readCheckBlock(QFileDevice& device);

} // namespace Package
} // namespace Upgrade
