#pragma once

#include "upgrade/checkpacket.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

class QDebug;
class QIODevice;

// The upgrade package's layout: the magic, little-endian length fields, the
// JSON header, the Base64 check block listing the image records, then the
// records, each with its own JSON sub-header.
namespace Upgrade {
namespace Package {

// Longest header, check block or sub-header held in memory. Real ones are
// under 4 KiB; past this a length field would decide how much memory a
// request takes, so a longer field is passed over and never interpreted.
constexpr qint64 MaxFieldLength = 4 * 1024 * 1024;

// What the log keeps of a field over the limit.
constexpr int FieldPreviewLength = 64;

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

// Takes every byte a read takes from the file, in file order.
using ByteSink = std::function<void(const char* data, qint64 size)>;

// A length-prefixed field as read: whole, or of one longer than
// MaxFieldLength only its first FieldPreviewLength bytes.
struct Field
{
    QByteArray bytes;
    qint64 at = 0; // of the field's first byte in the file
    qint64 length = 0; // as the length field claims
    bool cut = false;
};

// The log form: the bytes, and for a cut field how long it claims to be.
QDebug operator<<(QDebug debug, const Field& field);

// Reads a field of `length` bytes, or what the file has left of it, handing
// every byte to `sink`. The rest of a field over the limit streams through
// `buffer` into the sink (leaving the buffer zero-filled), or without a sink
// is passed over unread.
Field readField(QIODevice& device, qint64 length, const ByteSink& sink, QByteArray& buffer);

} // namespace Package
} // namespace Upgrade
