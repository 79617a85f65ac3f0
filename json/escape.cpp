#include "json/escape.h"

#include "json/chartable.h"

#include <cstdint>
#include <cstring>

namespace ajson {

namespace {

void append_utf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// XXXX after \u; p moves past them.
bool decode_unicode(std::string& out, const char*& p, const char* end)
{
    if (end - p < 4)
        return false;
    uint32_t cp = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = detail::hex_value(static_cast<unsigned char>(p[i]));
        if (digit < 0)
            return false;
        cp = cp * 16 + uint32_t(digit);
    }
    p += 4;
    if (cp == 0)
        return false;
    append_utf8(out, cp);
    return true;
}

// The sequence after a backslash; p moves past it.
bool decode_escape(std::string& out, const char*& p, const char* end)
{
    const char c = *p++;
    switch (c) {
    // clang-format off
    case '"': case '\\': case '/':
        out += c;
        return true;
    case 'b': out += '\b'; return true;
    case 'f': out += '\f'; return true;
    case 'n': out += '\n'; return true;
    case 'r': out += '\r'; return true;
    case 't': out += '\t'; return true;
    case 'u': return decode_unicode(out, p, end);
    default: return false;
        // clang-format on
    }
}

} // namespace

bool escape_string(std::string& out, const char* chars, size_t length)
{
    out.clear();
    if (length > out.capacity())
        out.reserve(length);
    const char* p = chars;
    const char* const end = chars + length;
    while (p != end) {
        const void* found = std::memchr(p, '\\', size_t(end - p));
        const char* backslash = found ? static_cast<const char*>(found) : end;
        out.append(p, size_t(backslash - p));
        if (backslash == end)
            return true;
        p = backslash + 1;
        if (p == end || !decode_escape(out, p, end))
            return false;
    }
    return true;
}

} // namespace ajson
