#pragma once

#include <array>
#include <cstdint>

namespace ajson {
namespace detail {

enum : uint8_t { char_other = 16, char_space = 17 };

constexpr std::array<uint8_t, 103> make_char_table()
{
    std::array<uint8_t, 103> table{};
    for (int c = 0; c < 103; ++c)
        table[c] = char_other;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = uint8_t(c - '0');
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = uint8_t(10 + c);
        table['a' + c] = uint8_t(10 + c);
    }
    for (int c : {'\t', '\n', '\f', '\r', ' '})
        table[c] = char_space;
    return table;
}

// Character classes up to 'f': the hex value of a hex digit, char_space
// for tab, line feed, form feed, carriage return and space, char_other
// for the rest (vertical tab included).
inline constexpr std::array<uint8_t, 103> char_table = make_char_table();

// The hex value of c, or -1 when c is no hex digit.
inline int hex_value(unsigned char c)
{
    return c < char_table.size() && char_table[c] < char_other ? char_table[c] : -1;
}

} // namespace detail
} // namespace ajson
